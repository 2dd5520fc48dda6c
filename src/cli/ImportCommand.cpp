#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/SpriteIo.h"
#include "core/spriteDocument.h"
#include "core/spriteEdits.h"
#include "core/wording.h"
#include "image/imageFile.h"
#include "image/spriteSheet.h"

namespace tess::cli {

namespace fs = std::filesystem;

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
  const bool fit = arguments.has("fit");
  const bool keepEmpty = arguments.has("keep-empty");
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
        // Fully transparent tiles are left out, as the editor's import does by default.
        const std::size_t tiles = static_cast<std::size_t>(picture.Width() / kSheetTile) *
                                  static_cast<std::size_t>(picture.Height() / kSheetTile);
        std::size_t kept = 0;
        for (auto& tile : cutSheet(picture, !keepEmpty)) {
          sprites.push_back(spriteWithImage(std::move(tile)));
          ++kept;
        }
        if (kept < tiles) {
          context.note(image, counted(tiles - kept, "fully transparent tile") +
                                  " left out (--keep-empty keeps them)");
        }
      } else {
        const bool whole = picture.Width() == kSpriteSide && picture.Height() == kSpriteSide;
        if (!whole && !fit) {
          context.error(image, "is " + std::to_string(picture.Width()) + "x" +
                                   std::to_string(picture.Height()) +
                                   ", not 32x32; give --fit to cut or pad it as the editor's Add "
                                   "does, or --sheet to cut it into tiles");
          return kExitTrouble;
        }
        auto fitted = fitToSprite(picture);
        const std::string name = fs::path(image).filename().string();
        if (const std::string note = fitNote(name, picture.Width(), picture.Height());
            !note.empty()) {
          context.note({}, note);
        }
        if (const std::string note = transparentNote(name, *fitted); !note.empty()) {
          context.note({}, note);
        }
        sprites.push_back(spriteWithImage(std::move(fitted)));
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
