// Files that declare a huge count or picture in a few bytes are refused before anything is
// allocated for the declaration. A separate process loads each one and reports how far its
// resident and virtual memory peaks rose during the load; a real file of similar declared size
// shows that the meter does see an honest allocation.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SaveFixture.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using Bytes = std::vector<unsigned char>;
using testing::ChildProcess;
using testing::TempDir;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Loading a small file costs little beyond the file itself; any allocation in proportion to a
// declaration of gigabytes would be far above these.
constexpr long kResidentAllowanceKiB = 16 * 1024;
constexpr long kVirtualAllowanceKiB = 64 * 1024;

void le16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
void le32(Bytes& out, std::uint32_t v) {
  le16(out, v & 0xFFFF);
  le16(out, v >> 16);
}
void be32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<unsigned char>(v >> shift));
}

Bytes sprFile(bool sprite32, std::uint32_t count, int tableEntries) {
  Bytes out;
  le32(out, 0x57BBD603);
  if (sprite32) {
    le32(out, count);
  } else {
    le16(out, count);
  }
  for (int i = 0; i < tableEntries; ++i) le32(out, 0);
  return out;
}

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
  be32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const auto crc = ::crc32(0, out.data() + typeAt, static_cast<uInt>(data.size() + 4));
  be32(out, static_cast<std::uint32_t>(crc));
}

// A PNG whose header declares the size and whose one IDAT chunk holds a few compressed rows.
Bytes pngFile(std::uint32_t width, std::uint32_t height) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  be32(header, width);
  be32(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  pngChunk(out, "IHDR", header);
  Bytes raw(4096, 0);
  Bytes packed(compressBound(raw.size()));
  uLongf packedSize = packed.size();
  ::compress(packed.data(), &packedSize, raw.data(), raw.size());
  packed.resize(packedSize);
  pngChunk(out, "IDAT", packed);
  pngChunk(out, "IEND", {});
  return out;
}

Bytes bmpFile(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
              std::uint32_t compression, std::size_t pixelBytes) {
  const std::uint32_t palette = bitCount <= 8 ? (1u << bitCount) * 4 : 0;
  Bytes out = {'B', 'M'};
  le32(out, static_cast<std::uint32_t>(54 + palette + pixelBytes));
  le32(out, 0);
  le32(out, 54 + palette);
  le32(out, 40);
  le32(out, static_cast<std::uint32_t>(width));
  le32(out, static_cast<std::uint32_t>(height));
  le16(out, 1);
  le16(out, bitCount);
  le32(out, compression);
  le32(out, static_cast<std::uint32_t>(pixelBytes));
  le32(out, 2835);
  le32(out, 2835);
  le32(out, 0);
  le32(out, 0);
  out.resize(out.size() + palette, 0x40);
  out.resize(out.size() + pixelBytes, 0x7F);
  return out;
}

struct Measured {
  bool accepted = false;
  long residentKiB = 0;
  long virtualKiB = 0;
};

Measured measureLoad(const std::string& kind, const std::string& path) {
  ChildProcess child({TESS_HARDENING_CHILD, "measure", kind, path});
  const std::string output = child.readAll();
  const int status = child.wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the loading process failed";
  Measured result;
  int accepted = 0;
  std::istringstream(output) >> accepted >> result.residentKiB >> result.virtualKiB;
  result.accepted = accepted != 0;
  return result;
}

struct Hostile {
  const char* name;
  const char* kind;
  const char* file;
  Bytes bytes;
};

TEST(HostileHeaders, HugeDeclarationsAreRefusedWithoutAllocatingForThem) {
  const TempDir dir;
  const std::vector<Hostile> cases = {
      {"SPR, 32-bit count of 2,000,000,000", "spr32", "count.spr", sprFile(true, 2000000000, 3)},
      {"SPR, 32-bit count of 2^31-1 over 1000 empty entries", "spr32", "count-max.spr",
       sprFile(true, 0x7FFFFFFF, 1000)},
      {"SPR, 16-bit count of 65535 in 10 bytes", "spr16", "count16.spr", sprFile(false, 65535, 1)},
      {"PNG 100,000 x 100,000", "png", "huge.png", pngFile(100000, 100000)},
      {"PNG 16,384 x 16,384, within the side limit", "png", "large.png", pngFile(16384, 16384)},
      {"BMP 32-bit 100,000 x 100,000", "bmp", "huge32.bmp", bmpFile(100000, 100000, 32, 0, 64)},
      {"BMP 32-bit 8,192 x 8,192 in 4 KiB", "bmp", "large32.bmp",
       bmpFile(8192, -8192, 32, 0, 4096)},
      {"BMP 24-bit 100,000 x 100,000", "bmp", "huge24.bmp", bmpFile(100000, 100000, 24, 0, 64)},
      {"BMP 24-bit 16,000 x 16,000", "bmp", "large24.bmp", bmpFile(16000, 16000, 24, 0, 64)},
      {"BMP 8-bit RLE 16,000 x 16,000", "bmp", "large-rle.bmp", bmpFile(16000, 16000, 8, 1, 64)},
  };
  for (const Hostile& hostile : cases) {
    SCOPED_TRACE(hostile.name);
    const std::string path = dir.file(hostile.file);
    testing::writeBytes(path, hostile.bytes);
    const Measured measured = measureLoad(hostile.kind, path);
    std::cout << "[ hostile ] " << hostile.name << ": " << hostile.bytes.size()
              << " bytes, resident peak +" << measured.residentKiB << " KiB, virtual peak +"
              << measured.virtualKiB << " KiB\n";
    EXPECT_FALSE(measured.accepted);
    EXPECT_LT(measured.residentKiB, kResidentAllowanceKiB);
    if (!kSanitized) {
      EXPECT_LT(measured.virtualKiB, kVirtualAllowanceKiB);
    }
  }
}

// The meter itself: an honest file of 20,000 sprites does show its tens of megabytes.
TEST(HostileHeaders, TheMeterSeesAnHonestLargeLoad) {
  const TempDir dir;
  const std::string path = dir.file("honest.spr");
  testing::FakeHost host;
  {
    TSpriteFile file(host);
    testing::fillNewSprites(file, 20000, 5);
    ASSERT_TRUE(file.save(path, testing::kNewSignature, true));
  }
  const Measured measured = measureLoad("spr32", path);
  std::cout << "[ hostile ] honest 20,000 sprites: resident peak +" << measured.residentKiB
            << " KiB\n";
  EXPECT_TRUE(measured.accepted);
  EXPECT_GT(measured.residentKiB, 2 * kResidentAllowanceKiB);
}

}  // namespace
}  // namespace tess
