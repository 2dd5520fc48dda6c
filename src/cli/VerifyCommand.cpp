#include <cstdint>
#include <exception>
#include <string>

#include "cli/Commands.h"
#include "sprite/TNStream.h"
#include "sprite/TSprite.h"

namespace tess::cli {

int runVerify(TCliContext& context) {
  const auto& operands = context.arguments().operands;
  if (operands.size() != 1) {
    context.usageError("verify takes one FILE");
    return kExitTrouble;
  }
  const std::string& path = operands[0];
  TReadAs readAs;
  std::string reason;
  if (!resolveReadAs(context, path, readAs, reason)) {
    context.error(path, reason);
    return kExitTrouble;
  }
  const TSprLayout layout = readAs.layout;
  TNStream stream;
  try {
    stream.LoadFromFile(path);
  } catch (const std::exception& error) {
    context.error(path, error.what());
    return kExitTrouble;
  }

  std::size_t problems = 0;
  const auto problem = [&](const std::string& text) {
    ++problems;
    context.print(path + ": " + text);
  };
  const std::size_t tableStart = layout.tableStart();
  if (stream.size() < tableStart) {
    problem("the file ends inside its header");
  } else {
    stream.readInteger();
    const std::int32_t count = layout.sprite32 ? stream.readInteger() : stream.readWord();
    if (count <= 0) {
      problem("the sprite count is 0 or less (" + std::to_string(count) + ")");
    } else {
      const std::size_t room = (stream.size() - tableStart) / 4;
      const auto total = static_cast<std::size_t>(count);
      const auto readable = static_cast<std::int32_t>(std::min(room, total));
      TProgress progress("verifying " + path, context.showProgress());
      for (std::int32_t id = 1; id <= readable; ++id) {
        std::string why;
        if (!readSprite(id, layout, stream, nullptr, TSprCodecPath::Fastest, &why)) {
          problem("sprite " + std::to_string(id) + ": " + why);
        }
        progress.step(id, readable);
      }
      if (room < total) {
        // One line for them all: a hostile count would otherwise print billions.
        const std::string first = std::to_string(room + 1);
        problem("sprites " + first + "-" + std::to_string(total) +
                ": the offset table runs past the end of the file");
      }
    }
  }
  if (problems == 0) {
    context.print(path + ": no problems");
    return kExitOk;
  }
  context.print(path + ": " + std::to_string(problems) +
                (problems == 1 ? " problem" : " problems"));
  return kExitNegative;
}

}  // namespace tess::cli
