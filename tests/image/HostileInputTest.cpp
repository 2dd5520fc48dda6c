// Broken and hostile PNG data: every case fails through the normal path, with the bitmap as it
// was, and nothing is allocated for a size the data cannot back (the sanitizer build would
// report an allocation of that size).

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

#include "image/BMP.h"
#include "image/PNG.h"
#include "image/imageFile.h"
#include "pngTestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer any single allocation above this aborts the run, so a hostile header
// that made import allocate for its declared size fails these tests loudly. Settings given in
// ASAN_OPTIONS come on top of these.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }
#endif

namespace tess {
namespace {

using testing::assemblePng;
using testing::Bytes;
using testing::Chunk;
using testing::ihdrData;

TBitmap32 patterned() {
  TBitmap32 bitmap;
  bitmap.SetSize(2, 2);
  std::copy_n(std::array<TColor32, 4>{1, 2, 3, 4}.begin(), 4, bitmap.FBits());
  bitmap.DrawMode = dmBlend;
  return bitmap;
}

bool isPatterned(const TBitmap32& bitmap) {
  return bitmap.Width() == 2 && bitmap.Height() == 2 && bitmap.DrawMode == dmBlend &&
         std::equal(bitmap.FBits(), bitmap.FBits() + 4,
                    std::array<TColor32, 4>{1, 2, 3, 4}.begin());
}

Bytes deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

// A valid 4x4 truecolour image to break in various ways.
Bytes smallImage() {
  testing::PngFixture f;
  f.width = 4;
  f.height = 4;
  f.colorType = 2;
  for (int i = 0; i < 48; ++i) f.samples.push_back(static_cast<std::uint16_t>(i * 5));
  return testing::encodePng(f);
}

Bytes withChunks(const std::function<void(std::vector<Chunk>&)>& change) {
  auto chunks = testing::parseChunks(smallImage());
  change(chunks);
  return assemblePng(chunks);
}

Bytes flipCrcOf(Bytes png, const std::string& type) {
  std::size_t offset = 8;
  while (offset + 12 <= png.size()) {
    const std::uint32_t length = (std::uint32_t{png[offset]} << 24) | (png[offset + 1] << 16) |
                                 (png[offset + 2] << 8) | png[offset + 3];
    if (std::string(png.begin() + static_cast<std::ptrdiff_t>(offset + 4),
                    png.begin() + static_cast<std::ptrdiff_t>(offset + 8)) == type) {
      png[offset + 8 + length] ^= 0x01;
      return png;
    }
    offset += 12 + length;
  }
  ADD_FAILURE() << "no " << type << " chunk";
  return png;
}

struct HostileCase {
  std::string name;
  Bytes bytes;
};

std::vector<HostileCase> hostileCases() {
  const Bytes tinyIdat = deflate(Bytes(64, 0));
  const Bytes valid = smallImage();
  const Bytes signatureOnly(valid.begin(), valid.begin() + 8);
  Bytes badSignature = valid;
  badSignature[1] = 'Q';
  return {
      {"Empty", {}},
      {"SignatureOnly", signatureOnly},
      {"BadSignature", badSignature},
      {"HugeHeaderInSmallFile",
       assemblePng({{"IHDR", ihdrData(100000, 100000, 8, 6)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"MaximumWidthHeader",
       assemblePng({{"IHDR", ihdrData(0x7FFFFFFF, 1, 8, 6)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"AllowedSidesButUnbackedData",
       assemblePng({{"IHDR", ihdrData(16384, 16384, 16, 6)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"ZeroWidth",
       assemblePng({{"IHDR", ihdrData(0, 4, 8, 2)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"BadColourType",
       assemblePng({{"IHDR", ihdrData(4, 4, 8, 5)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"BadBitDepth",
       assemblePng({{"IHDR", ihdrData(4, 4, 3, 0)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"PaletteWithoutPlte",
       assemblePng({{"IHDR", ihdrData(4, 4, 8, 3)}, {"IDAT", tinyIdat}, {"IEND", {}}})},
      {"NoImageData", assemblePng({{"IHDR", ihdrData(4, 4, 8, 2)}, {"IEND", {}}})},
      {"TooLittleImageData",
       assemblePng(
           {{"IHDR", ihdrData(4, 4, 8, 2)}, {"IDAT", deflate(Bytes(20, 0))}, {"IEND", {}}})},
      {"NotDeflate",
       assemblePng({{"IHDR", ihdrData(4, 4, 8, 2)}, {"IDAT", Bytes(40, 0xFF)}, {"IEND", {}}})},
      {"CrcInHeader", flipCrcOf(smallImage(), "IHDR")},
      {"CrcInData", flipCrcOf(smallImage(), "IDAT")},
      {"CrcInEnd", flipCrcOf(smallImage(), "IEND")},
      {"CrcInTextChunk", flipCrcOf(withChunks([](std::vector<Chunk>& c) {
                                     c.insert(c.begin() + 1, {"tEXt", {'a', 0, 'b'}});
                                   }),
                                   "tEXt")},
      {"NoEnd", withChunks([](std::vector<Chunk>& c) { c.pop_back(); })},
      // The header must come first, whatever kind of chunk stands before it.
      {"TextBeforeHeader", withChunks([](std::vector<Chunk>& c) {
         c.insert(c.begin(), {"tEXt", {'a', 0, 'b'}});
       })},
      {"BackgroundBeforeHeader", withChunks([](std::vector<Chunk>& c) {
         c.insert(c.begin(), {"bKGD", {0, 1, 0, 2, 0, 3}});
       })},
      {"UnknownBeforeHeader", withChunks([](std::vector<Chunk>& c) {
         c.insert(c.begin(), {"ruSt", {1, 2, 3}});
       })},
  };
}

class HostilePng : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostilePng, FailsCleanlyAndLeavesTheBitmap) {
  TBitmap32 bitmap = patterned();
  EXPECT_THROW((void)loadPngStream(bitmap, GetParam().bytes), std::runtime_error);
  EXPECT_TRUE(isPatterned(bitmap));

  const testing::TempDir dir;
  testing::writeFile(dir / "hostile.png", GetParam().bytes);
  EXPECT_FALSE(loadPngFile(bitmap, (dir / "hostile.png").string()));
  EXPECT_TRUE(isPatterned(bitmap));
  EXPECT_FALSE(loadImageFile((dir / "hostile.png").string(), bitmap));
  EXPECT_TRUE(isPatterned(bitmap));
}

INSTANTIATE_TEST_SUITE_P(PngImport, HostilePng, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return info.param.name; });

TEST(PngImport, EveryTruncationFails) {
  const Bytes whole = smallImage();
  for (std::size_t size = 0; size < whole.size(); ++size) {
    TBitmap32 bitmap = patterned();
    EXPECT_THROW((void)loadPngStream(bitmap, std::span(whole.data(), size)), std::runtime_error)
        << size;
    EXPECT_TRUE(isPatterned(bitmap)) << size;
  }
}

TEST(PngImport, EveryFlippedByteFails) {
  const Bytes whole = smallImage();
  for (std::size_t at = 0; at < whole.size(); ++at) {
    for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
      Bytes damaged = whole;
      damaged[at] ^= mask;
      TBitmap32 bitmap = patterned();
      // Every byte is either part of the signature or covered by a chunk's CRC.
      EXPECT_THROW((void)loadPngStream(bitmap, damaged), std::runtime_error) << at;
      EXPECT_TRUE(isPatterned(bitmap)) << at;
    }
  }
}

// The signature, a header, and one chunk that declares nearly a gigabyte but holds a few bytes.
Bytes declaresHugeChunk(const char* type) {
  Bytes png = assemblePng({{"IHDR", ihdrData(4, 4, 8, 2)}});
  png.insert(png.end(), {0x3F, 0xFF, 0xFF, 0xF0});
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), {'k', 'e', 'y', 0, 0, 0, 0, 0, 0, 0, 0});
  return png;
}

constexpr std::array<const char*, 10> kHugeChunkTypes = {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL",
                                                         "sCAL", "iCCP", "PLTE", "IDAT", "ruSt"};

TEST(PngImport, ChunkLongerThanTheRestOfTheFileIsRefused) {
  for (const char* type : kHugeChunkTypes) {
    const Bytes png = declaresHugeChunk(type);
    EXPECT_LT(png.size(), 60u) << type;
    TBitmap32 bitmap = patterned();
    EXPECT_THROW((void)loadPngStream(bitmap, png), std::runtime_error) << type;
    EXPECT_TRUE(isPatterned(bitmap)) << type;
  }
}

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

// A field of /proc/self/status, in KiB: VmPeak is the highest the address space has been.
long virtualKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0)
      return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return -1;
}

struct Measured {
  long riseKiB = -1;
  bool read = false;
};

// How far the address space peak rose while the PNG file `input` was imported. A fresh process
// does the import (this test program again, running only the disabled test below), so that
// nothing the test runner did before, and no memory it freed, counts. `fromFile` imports it the
// way the editor does, by its name; otherwise the child reads it into memory first, and the
// import starts from those bytes.
Measured measureImport(const std::filesystem::path& input, bool fromFile) {
  const testing::TempDir dir;
  const std::string output = (dir / "rise.txt").string();
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("TESS_MEASURE_INPUT", input.c_str(), 1);
    ::setenv("TESS_MEASURE_OUTPUT", output.c_str(), 1);
    ::setenv("TESS_MEASURE_FROM_FILE", fromFile ? "1" : "0", 1);
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (quiet >= 0) ::dup2(quiet, STDOUT_FILENO);
    ::execl("/proc/self/exe", "tess_image_tests", "--gtest_also_run_disabled_tests",
            "--gtest_filter=PngImportChild.DISABLED_MeasureImport", nullptr);
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return {};
  std::ifstream in(output);
  Measured measured;
  in >> measured.riseKiB >> measured.read;
  return measured;
}

long importPeakRiseKiB(const Bytes& data) {
  const testing::TempDir dir;
  testing::writeFile(dir / "input.png", data);
  return measureImport(dir / "input.png", /*fromFile=*/false).riseKiB;
}

Bytes readWhole(const char* input) {
  std::ifstream file(input, std::ios::binary | std::ios::ate);
  Bytes data(static_cast<std::size_t>(file.tellg()));
  file.seekg(0);
  file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  EXPECT_TRUE(file.good());
  return data;
}

TEST(PngImportChild, DISABLED_MeasureImport) {
  const char* input = std::getenv("TESS_MEASURE_INPUT");
  const char* output = std::getenv("TESS_MEASURE_OUTPUT");
  const char* fromFile = std::getenv("TESS_MEASURE_FROM_FILE");
  ASSERT_NE(input, nullptr);
  ASSERT_NE(output, nullptr);
  ASSERT_NE(fromFile, nullptr);
  const bool byName = std::string(fromFile) == "1";
  // Every block above 64 KiB gets address space of its own, so that the peak counts each one.
  ::mallopt(M_MMAP_THRESHOLD, 64 * 1024);
  const Bytes data = byName ? Bytes() : readWhole(input);
  // From the present size, not the peak: whatever came before can only make the rise look larger.
  const long before = virtualKiB("VmSize");
  bool read = false;
  {
    TBitmap32 bitmap;
    try {
      read = byName ? loadImageFile(input, bitmap) : loadPngStream(bitmap, data);
    } catch (const std::exception&) {
    }
  }
  std::ofstream(output) << virtualKiB("VmPeak") - before << ' ' << read;
}

// The import's whole bound: 16 MiB plus four times the decoded picture, whatever the file says.
constexpr long kFixedAllowanceKiB = 16 * 1024;

TEST(PngImport, HugeChunkDeclarationsCostNoMemory) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer's own reservations hide the peak";
  for (const char* type : kHugeChunkTypes) {
    EXPECT_LT(importPeakRiseKiB(declaresHugeChunk(type)), kFixedAllowanceKiB) << type;
  }
}

TEST(PngImport, HonestImportStaysWithinItsBound) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer's own reservations hide the peak";
  // 16-bit RGBA holds twice the bytes of the decoded picture: the costliest kind of sample.
  testing::PngFixture f;
  f.width = 1024;
  f.height = 1024;
  f.bitDepth = 16;
  f.colorType = 6;
  f.samples.resize(std::size_t{1024} * 1024 * 4);
  for (std::size_t i = 0; i < f.samples.size(); ++i)
    f.samples[i] = static_cast<std::uint16_t>(i * 2654435761u >> 16);
  const Bytes png = testing::encodePng(f);
  const long decodedKiB = 1024 * 1024 * 4 / 1024;
  const long rise = importPeakRiseKiB(png);
  std::cout << "[ memory ] 1024 x 1024 RGBA16 import: address space peak +" << rise << " KiB for a "
            << decodedKiB << " KiB picture\n";
  // The meter sees an honest import, so a small rise above means nothing was allocated.
  EXPECT_GT(rise, decodedKiB);
  EXPECT_LT(rise, kFixedAllowanceKiB + 4 * decodedKiB);
}

TEST(PngImport, OversizedAncillaryChunkIsSkipped) {
  const Bytes png = withChunks([](std::vector<Chunk>& c) {
    Bytes text(9u << 20, 'x');
    text[1] = 0;
    c.insert(c.begin() + 1, {"zTXt", text});
  });
  TBitmap32 bitmap;
  EXPECT_TRUE(loadPngStream(bitmap, png));
  EXPECT_EQ(bitmap.Width(), 4);
}

// A small picture carried in a file made large by chunks the import skips.
struct PaddingCase {
  std::string name;
  std::string type;
  int count = 1;
  std::size_t bytesEach = 0;
  bool afterImage = false;  // after IDAT, where the codec reads them at the end
};

void PrintTo(const PaddingCase& c, std::ostream* out) { *out << c.name; }

constexpr std::size_t kMiB = std::size_t{1} << 20;

std::vector<PaddingCase> paddingCases() {
  return {
      {"OneLargeText", "tEXt", 1, 64 * kMiB},
      {"OneLargeUnknownChunk", "ruSt", 1, 64 * kMiB},
      // Each one small enough for the codec to take in whole, and to keep if it were let.
      {"ManyTexts", "tEXt", 9, 7 * kMiB},
      {"ManyInternationalTextsAtTheEnd", "iTXt", 9, 7 * kMiB, true},
  };
}

// Writes the padded file a piece at a time: the test must not itself hold what the import is
// not allowed to (the sanitized build refuses any single allocation of 64 MiB).
void writePaddedImage(const std::filesystem::path& path, const PaddingCase& c) {
  const auto chunks = testing::parseChunks(smallImage());
  std::ofstream out(path, std::ios::binary);
  const auto put = [&](const std::uint8_t* bytes, std::size_t size) {
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  };
  const auto put32 = [&](std::uint32_t value) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    put(bytes, 4);
  };
  // A keyword, its terminator, and for iTXt the flags and empty language and translated keyword.
  const std::string lead =
      c.type == "iTXt" ? std::string("pad\0\0\0\0\0", 8) : std::string("pad\0", 4);
  const auto putPadding = [&] {
    put32(static_cast<std::uint32_t>(c.bytesEach));
    Bytes piece(c.type.begin(), c.type.end());
    piece.insert(piece.end(), lead.begin(), lead.end());
    uLong crc = crc32(0, piece.data(), static_cast<uInt>(piece.size()));
    put(piece.data(), piece.size());
    const Bytes fill(kMiB, 'x');
    for (std::size_t left = c.bytesEach - lead.size(); left > 0;) {
      const std::size_t size = std::min(left, fill.size());
      crc = crc32(crc, fill.data(), static_cast<uInt>(size));
      put(fill.data(), size);
      left -= size;
    }
    put32(static_cast<std::uint32_t>(crc));
  };
  const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put(signature, 8);
  const std::size_t paddingBefore = c.afterImage ? chunks.size() - 1 : 1;
  for (std::size_t k = 0; k < chunks.size(); ++k) {
    if (k == paddingBefore) {
      for (int n = 0; n < c.count; ++n) putPadding();
    }
    const Bytes one = assemblePng({chunks[k]});
    put(one.data() + 8, one.size() - 8);  // without its own signature
  }
  ASSERT_TRUE(out.good());
}

class PaddedPng : public ::testing::TestWithParam<PaddingCase> {};

TEST_P(PaddedPng, ImportsItsPictureAndCostsNoMoreThanThePicture) {
  const testing::TempDir dir;
  const auto path = dir / "padded.png";
  writePaddedImage(path, GetParam());
  ASSERT_GT(std::filesystem::file_size(path), 60 * kMiB);

  TBitmap32 bitmap;
  ASSERT_TRUE(loadImageFile(path.string(), bitmap));
  ASSERT_EQ(bitmap.Width(), 4);
  ASSERT_EQ(bitmap.Height(), 4);
  // smallImage's samples are 0, 5, 10, ... in red, green, blue order.
  for (int k = 0; k < 16; ++k) {
    const auto red = static_cast<std::uint8_t>(15 * k);
    EXPECT_EQ(bitmap.FBits()[k], PackColor32(red, red + 5, red + 10, 255)) << k;
  }

  if (kSanitized) GTEST_SKIP() << "the sanitizer's own reservations hide the peak";
  const Measured measured = measureImport(path, /*fromFile=*/true);
  std::cout << "[ memory ] " << GetParam().name << ": address space peak +" << measured.riseKiB
            << " KiB for a " << std::filesystem::file_size(path) / 1024 << " KiB file\n";
  EXPECT_TRUE(measured.read);
  EXPECT_GE(measured.riseKiB, 0);
  // The picture is 64 bytes: the fixed allowance is the whole bound.
  EXPECT_LT(measured.riseKiB, kFixedAllowanceKiB);
}

INSTANTIATE_TEST_SUITE_P(PngImport, PaddedPng, ::testing::ValuesIn(paddingCases()),
                         [](const auto& info) { return info.param.name; });

// The editor imports by file name, reading the file as the decoder goes; every file must come in
// exactly as it does from the same bytes held in memory.
std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

const std::filesystem::path kPngSuite = std::filesystem::path(TESS_TESTDATA_DIR) / "pngsuite";
const std::filesystem::path kCorpus = std::filesystem::path(TESS_SOURCE_DIR) / "fuzz" / "corpus";

TEST(PngImport, ByNameMatchesFromMemoryForEveryKnownFile) {
  std::vector<std::filesystem::path> files = filesIn(kPngSuite);
  const auto corpus = filesIn(kCorpus / "png");
  const auto regressions =
      filesIn(std::filesystem::path(TESS_SOURCE_DIR) / "fuzz" / "regressions" / "png");
  files.insert(files.end(), corpus.begin(), corpus.end());
  files.insert(files.end(), regressions.begin(), regressions.end());
  ASSERT_GT(files.size(), 150u);
  int read = 0;
  for (const auto& file : files) {
    if (file.extension() != ".png") continue;
    TBitmap32 fromMemory = patterned();
    bool memoryRead = false;
    try {
      memoryRead = loadPngStream(fromMemory, testing::readFile(file));
    } catch (const std::exception&) {
    }
    TBitmap32 byName = patterned();
    const bool nameRead = loadImageFile(file.string(), byName);
    ASSERT_EQ(nameRead, memoryRead) << file;
    read += nameRead ? 1 : 0;
    ASSERT_EQ(byName.Width(), fromMemory.Width()) << file;
    ASSERT_EQ(byName.Height(), fromMemory.Height()) << file;
    EXPECT_EQ(byName.DrawMode, dmBlend) << file;
    EXPECT_TRUE(
        std::equal(byName.FBits(), byName.FBits() + byName.pixelCount(), fromMemory.FBits()))
        << file;
  }
  EXPECT_GT(read, 150);
}

TEST(BmpImport, EveryCorpusFileReadsOrFailsCleanly) {
  const auto files = filesIn(kCorpus / "bmp");
  ASSERT_GT(files.size(), 50u);
  for (const auto& file : files) {
    const Bytes bytes = testing::readFile(file);
    TBitmap32 fromMemory;
    bool memoryRead = true;
    try {
      loadBmpBytes(fromMemory, bytes);
      keyOutMagenta(fromMemory);
    } catch (const std::runtime_error&) {
      memoryRead = false;
    }
    TBitmap32 byName;
    bool nameRead = false;
    try {
      nameRead = loadImageFile(file.string(), byName);
    } catch (const std::runtime_error&) {
    }
    ASSERT_EQ(nameRead, memoryRead) << file;
    if (!nameRead) continue;
    ASSERT_EQ(byName.Width(), fromMemory.Width()) << file;
    ASSERT_EQ(byName.Height(), fromMemory.Height()) << file;
    EXPECT_TRUE(
        std::equal(byName.FBits(), byName.FBits() + byName.pixelCount(), fromMemory.FBits()))
        << file;
  }
}

TEST(PngImport, BytesAfterTheEndAreIgnored) {
  Bytes png = smallImage();
  png.insert(png.end(), {1, 2, 3});
  TBitmap32 bitmap;
  EXPECT_TRUE(loadPngStream(bitmap, png));
  EXPECT_EQ(bitmap.Width(), 4);
}

TEST(PngImport, MissingFileGivesFalse) {
  const testing::TempDir dir;
  TBitmap32 bitmap = patterned();
  EXPECT_FALSE(loadPngFile(bitmap, (dir / "none.png").string()));
  EXPECT_FALSE(loadPngFile(bitmap, dir.path().string()));
  EXPECT_TRUE(isPatterned(bitmap));
}

}  // namespace
}  // namespace tess
