#include <cstdint>
#include <exception>
#include <string>

#include "cli/Commands.h"
#include "sprite/TNStream.h"
#include "sprite/TSprite.h"

namespace tess::cli {

namespace {

constexpr std::size_t kRecordHeader = 5;  // colour key and data size
constexpr std::size_t kSpritePixels = 1024;

std::uint32_t le32(const std::uint8_t* p) noexcept {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

std::uint16_t le16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Why the reader refused sprite `id`, in words: the reader itself only says that it did. The
// checks follow the reader's, in its order, so the first one that fails is the reader's reason.
std::string recordProblem(std::int32_t id, TSprLayout layout, const TNStream& stream) {
  const std::uint8_t* const data = stream.bytes().data();
  const std::size_t size = stream.size();
  const std::size_t entryAt = layout.tableStart() + 4 * (static_cast<std::size_t>(id) - 1);
  if (entryAt > size || size - entryAt < 4) return "its table entry lies past the end of the file";
  const std::size_t recordAt = le32(data + entryAt);
  const std::string at = " (record at offset " + std::to_string(recordAt) + ")";
  if (recordAt > size || size - recordAt < kRecordHeader) {
    return "its record starts past the end of the file" + at;
  }
  const std::size_t end = recordAt + kRecordHeader + le16(data + recordAt + 3);
  if (end > size) return "its record runs past the end of the file" + at;
  std::size_t position = recordAt + kRecordHeader;
  std::size_t index = 0;
  while (position < end) {
    if (size - position < 4) return "a run pair runs past the end of the file" + at;
    const std::size_t transparent = le16(data + position);
    const std::size_t coloured = le16(data + position + 2);
    position += 4;
    index += transparent;
    if (coloured == 0) continue;
    if (index > kSpritePixels || kSpritePixels - index < coloured) {
      return "its runs cover more than 1024 pixels" + at;
    }
    if ((size - position) / layout.pixelBytes() < coloured) {
      return "its pixels run past the end of the file" + at;
    }
    position += layout.pixelBytes() * coloured;
    index += coloured;
  }
  return "its record cannot be read" + at;
}

}  // namespace

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
        if (!readSprite(id, layout, stream)) {
          problem("sprite " + std::to_string(id) + ": " + recordProblem(id, layout, stream));
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
