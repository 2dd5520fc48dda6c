#include <optional>
#include <string>

#include "core/spriteAnalysis.h"
#include "core/wording.h"

#include "cli/Commands.h"
#include "cli/SpriteIo.h"

namespace tess::cli {

int runConvert(TCliContext& context) {
  const auto& operands = context.arguments().operands;
  const auto to = context.arguments().value("to");
  if (operands.size() != 2 || !to) {
    context.usageError("convert takes IN OUT --to VERSION");
    return kExitTrouble;
  }
  const std::string& in = operands[0];
  const std::string& out = operands[1];
  const std::optional<TVersionInfo> target = context.resolveVersion(*to);
  if (!target) {
    context.usageError("no version \"" + *to + "\" in the catalog");
    return kExitTrouble;
  }
  if (sameFile(in, out)) {
    context.error(out, "is the input file; convert never changes its input");
    return kExitTrouble;
  }
  std::string reason;
  if (!mayWrite(out, context.arguments().has("force"), reason)) {
    context.error(out, reason);
    return kExitTrouble;
  }
  TOpenedFile opened;
  if (!openSpriteFile(context, in, opened)) return kExitTrouble;
  const TSprLayout layout = layoutOf(*target);
  const std::size_t count = opened.file->Sprites.size();
  if (!layout.sprite32 && count > kMaxSprites16) {
    context.error(in, "has " + std::to_string(count) + " sprites; version " + target->name +
                          " counts them in 16 bits and holds at most 65500");
    return kExitTrouble;
  }
  if (opened.layout.alpha && !layout.alpha) {
    // The target stores every coloured pixel opaque.
    const TPartialAlpha partial = countPartialAlpha(opened.file->Sprites);
    if (partial.pixels > 0) {
      context.note(in, counted(partial.pixels, "partly transparent pixel") + " in " +
                           counted(partial.sprites, "sprite") + " become opaque in " +
                           target->name);
    }
  }
  TProgress progress("writing " + out, context.showProgress());
  opened.file->onLoadSprite.push_back(TonLoadSprite(&progress, &TProgress::onSprite));
  if (!saveAs(*opened.file, out, target->spriteSignature, layout, opened.layout)) {
    context.error(out, writeFailureReason(out, opened.file->errorString()));
    return kExitTrouble;
  }
  context.print(out + ": " + std::to_string(count) + " sprites written as " + target->name);
  return kExitOk;
}

}  // namespace tess::cli
