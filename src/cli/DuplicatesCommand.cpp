#include <string>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "core/spriteAnalysis.h"

namespace tess::cli {

int runDuplicates(TCliContext& context) {
  const auto& operands = context.arguments().operands;
  if (operands.size() != 1) {
    context.usageError("duplicates takes one FILE");
    return kExitTrouble;
  }
  TOpenedFile opened;
  if (!openSpriteFile(context, operands[0], opened)) return kExitTrouble;
  const TDuplicateGroups groups = findDuplicates(opened.file->Sprites);

  if (context.arguments().has("json")) {
    std::string json = "{\"groups\":[";
    for (std::size_t i = 0; i < groups.size(); ++i) {
      if (i != 0) json += ',';
      json += jsonArray(groups[i]);
    }
    context.print(json + "]}");
  } else if (groups.empty()) {
    context.print("no duplicates");
  } else {
    for (const auto& group : groups) {
      std::string line;
      for (const std::int32_t id : group) {
        if (!line.empty()) line += ',';
        line += std::to_string(id);
      }
      context.print(line);
    }
  }
  return groups.empty() ? kExitOk : kExitNegative;
}

}  // namespace tess::cli
