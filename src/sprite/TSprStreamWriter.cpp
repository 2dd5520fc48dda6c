#include "sprite/TSprStreamWriter.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <new>
#include <stdexcept>

#include "fileio/AtomicFile.h"
#include "sprite/TSprite.h"

namespace tess {

namespace {

// Records are gathered into writes of about this size.
constexpr std::size_t kBufferBytes = 1 << 20;

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

TSprStreamWriter::TSprStreamWriter(TFileSink& sink, std::int32_t signature, TSprLayout layout,
                                   std::size_t count, TSprSavedAlpha alpha)
    : FSink(sink), FLayout(layout), FAlpha(alpha), FTable(count, 0) {
  const std::size_t widest = layout.sprite32 ? std::numeric_limits<std::int32_t>::max()
                                             : std::numeric_limits<std::uint16_t>::max();
  if (count == 0 || count > widest) {
    throw std::length_error(std::to_string(count) + " sprites do not fit a " +
                            std::to_string(layout.countBits()) + "-bit count");
  }
  FBuffer.reserve(kBufferBytes + kSpriteRecordRoom);
  putLe(FBuffer, static_cast<std::uint32_t>(signature), 4);
  putLe(FBuffer, static_cast<std::uint32_t>(count), layout.sprite32 ? 4 : 2);
  flush();
  // The table is written last, once every record's place is known; zeros keep its room.
  const std::vector<std::uint8_t> zeros(kBufferBytes, 0);
  std::uint64_t left = std::uint64_t{4} * count;
  while (left > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
    FSink.write(zeros.data(), chunk);
    left -= chunk;
  }
  FNextRecordAt = FSink.size();
}

void TSprStreamWriter::add(const TSprite& sprite) {
  if (FAdded == FTable.size()) throw std::logic_error("more sprites than the file's count");
  const std::size_t at = FBuffer.size();
  FBuffer.resize(at + kSpriteRecordRoom);
  const std::size_t length = encodeSpriteRecord(sprite, FLayout, FBuffer.data() + at, FAlpha);
  FBuffer.resize(at + length);
  if (length > 0) {
    if (FNextRecordAt > std::numeric_limits<std::uint32_t>::max()) {
      throw std::length_error("The sprite file would outgrow its 32-bit offsets");
    }
    FTable[FAdded] = static_cast<std::uint32_t>(FNextRecordAt);
    FNextRecordAt += length;
  }
  ++FAdded;
  if (FBuffer.size() >= kBufferBytes) flush();
}

void TSprStreamWriter::finish() {
  if (FAdded != FTable.size()) {
    throw std::logic_error(std::to_string(FAdded) + " sprites came of " +
                           std::to_string(FTable.size()));
  }
  flush();
  std::vector<std::uint8_t> table;
  table.reserve(FTable.size() * 4);
  for (const std::uint32_t offset : FTable) putLe(table, offset, 4);
  FSink.writeAt(FLayout.tableStart(), table.data(), table.size());
}

void TSprStreamWriter::flush() {
  if (FBuffer.empty()) return;
  FSink.write(FBuffer.data(), FBuffer.size());
  FBuffer.clear();
}

bool writeSprFileStreamed(const std::string& path, std::int32_t signature, TSprLayout layout,
                          std::size_t count, TSprSavedAlpha alpha,
                          const std::function<void(TSprStreamWriter&)>& produce,
                          std::string& reason) {
  try {
    writeFileAtomically(path, [&](TFileSink& sink) {
      TSprStreamWriter writer(sink, signature, layout, count, alpha);
      produce(writer);
      writer.finish();
    });
    return true;
  } catch (const std::bad_alloc&) {
    reason = "out of memory while saving";
  } catch (const std::exception& error) {
    reason = error.what();
  }
  return false;
}

}  // namespace tess
