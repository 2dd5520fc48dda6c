#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/SpriteIo.h"
#include "core/spriteDocument.h"
#include "core/spriteEdits.h"
#include "image/imageFile.h"
#include "image/spriteSheet.h"

namespace tess::cli {

int runImport(TCliContext& context) {
  const auto& arguments = context.arguments();
  const auto& operands = arguments.operands;
  if (operands.size() < 2) {
    context.usageError("import takes FILE IMAGE...");
    return kExitTrouble;
  }
  const std::string& input = operands[0];
  const bool force = arguments.has("force");
  const std::string out = arguments.value("out").value_or(input);
  if (!arguments.has("out") && !force) {
    context.error(input, "import replaces FILE only with --force; or name another with --out");
    return kExitTrouble;
  }
  std::string reason;
  if (!mayWrite(out, force, reason)) {
    context.error(out, reason);
    return kExitTrouble;
  }
  TOpenedFile opened;
  if (!openSpriteFile(context, input, opened)) return kExitTrouble;

  // One picture serves every image, as in the editor's Add.
  TBitmap32 picture;
  const bool sheets = arguments.has("sheet");
  std::vector<std::unique_ptr<TSprite>> sprites;
  for (std::size_t i = 1; i < operands.size(); ++i) {
    const std::string& image = operands[i];
    bool read = false;
    try {
      read = loadImageFile(image, picture,
                           opened.layout.alpha ? ImportAlpha::Keep : ImportAlpha::OverWhite);
    } catch (const std::exception& error) {
      context.error(image, std::string("cannot read the image: ") + error.what());
      return kExitTrouble;
    }
    if (!read) {
      // The reader looks at the file's first bytes, and at its name only when they say nothing.
      context.error(image, "is not a PNG or BMP image, or cannot be read");
      return kExitTrouble;
    }
    try {
      if (sheets) {
        if (!isSheetSize(picture.Width(), picture.Height())) {
          context.error(image, std::to_string(picture.Width()) + "x" +
                                   std::to_string(picture.Height()) +
                                   " is not a whole number of 32x32 tiles");
          return kExitTrouble;
        }
        for (auto& tile : cutSheet(picture, false)) {
          sprites.push_back(spriteWithImage(std::move(tile)));
        }
      } else {
        sprites.push_back(spriteWithImage(fitToSprite(picture)));
      }
    } catch (const std::exception& error) {
      context.error(image, std::string("cannot add the sprite: ") + error.what());
      return kExitTrouble;
    }
  }

  TSpriteFile& file = *opened.file;
  const std::size_t added = sprites.size();
  const std::size_t total = file.Sprites.size() + added;
  if (!opened.layout.sprite32 && total > kMaxSprites16) {
    context.error(input, "would have " + std::to_string(total) +
                             " sprites; its count is 16 bits wide and holds at most 65500");
    return kExitTrouble;
  }
  TSpriteDocument document(file);
  std::int32_t first = 0;
  try {
    first = document.appendSprites(sprites);
  } catch (const std::exception& error) {
    context.error(input, std::string("cannot add the sprites: ") + error.what());
    return kExitTrouble;
  }
  TProgress progress("writing " + out, context.showProgress());
  file.onLoadSprite.push_back(TonLoadSprite(&progress, &TProgress::onSprite));
  if (!saveAs(file, out, file.signature, opened.layout, opened.layout)) {
    context.error(out, writeFailureReason(out, file.errorString()));
    return kExitTrouble;
  }
  std::vector<std::int32_t> ids;
  for (std::size_t i = 0; i < added; ++i) ids.push_back(first + static_cast<std::int32_t>(i));
  context.print(out + ": " + std::to_string(added) + (added == 1 ? " sprite" : " sprites") +
                " added" + (added == 0 ? std::string() : ", IDs " + formatIdList(ids)));
  return kExitOk;
}

}  // namespace tess::cli
