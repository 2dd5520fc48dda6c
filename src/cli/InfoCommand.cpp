#include <string>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "core/versionDetect.h"

namespace tess::cli {

int runInfo(TCliContext& context) {
  const auto& operands = context.arguments().operands;
  if (operands.size() != 1) {
    context.usageError("info takes one FILE");
    return kExitTrouble;
  }
  TOpenedFile opened;
  if (!openSpriteFile(context, operands[0], opened)) return kExitTrouble;

  std::size_t empty = 0;
  for (const auto& sprite : opened.file->Sprites) {
    if (sprite->isDUmmy) ++empty;
  }
  const std::string version = opened.version ? opened.version->name : "unknown";
  // The config.ini section the version is, or is a layout variant of.
  const std::string catalogName =
      opened.version ? catalogNameOf(*opened.version, context.versions()) : std::string();
  const std::string sprites = std::to_string(opened.file->Sprites.size());
  if (context.arguments().has("json")) {
    context.print("{\"signature\":" + jsonString(signatureHex(opened.signature)) +
                  ",\"version\":" + jsonString(version) + ",\"catalogVersion\":" +
                  (catalogName.empty() ? std::string("null") : jsonString(catalogName)) +
                  ",\"countBits\":" + std::to_string(opened.layout.countBits()) +
                  ",\"alpha\":" + (opened.layout.alpha ? "true" : "false") +
                  ",\"sprites\":" + sprites + ",\"empty\":" + std::to_string(empty) +
                  ",\"bytes\":" + std::to_string(opened.bytes) + "}");
    return kExitOk;
  }
  context.print("signature: " + signatureHex(opened.signature));
  context.print("version: " + version);
  if (!catalogName.empty() && catalogName != version) {
    context.print("catalog version: " + catalogName + " (in another layout)");
  }
  context.print("count width: " + std::to_string(opened.layout.countBits()) + " bits");
  context.print(std::string("alpha: ") + (opened.layout.alpha ? "yes" : "no"));
  context.print("sprites: " + sprites);
  context.print("empty: " + std::to_string(empty));
  context.print("bytes: " + std::to_string(opened.bytes));
  return kExitOk;
}

}  // namespace tess::cli
