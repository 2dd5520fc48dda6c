#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SprBytes.h"
#include "SpriteFixtures.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using testing::append;
using testing::FakeHost;
using testing::makeBitmap;
using testing::makeEmptySprite;
using testing::makeSprite;
using testing::pixelsOf;
using testing::ProgressLog;
using testing::readBytes;
using testing::SprBytes;
using testing::TempDir;
using testing::writeBytes;
using Bytes = std::vector<unsigned char>;

constexpr std::uint32_t kSignature = 0x4C2C7993u;

// The documented two-sprite example: pixels 1 and 2 of sprite 1 are opaque, sprite 2 is empty.
Bytes workedExample() {
  return SprBytes()
      .header(kSignature, 2, false)
      .u32(14)
      .u32(0)
      .record(10)
      .run(1, 2)
      .rgb(0x10, 0x20, 0x30)
      .rgb(0x40, 0x50, 0x60);
}

TColor32 workedExamplePixel(int i) {
  if (i == 1) return 0xFF102030u;
  if (i == 2) return 0xFF405060u;
  return clTransparentWhite32;
}

std::vector<TColor32> expectedPixels(const testing::PixelRule& rule) {
  std::vector<TColor32> pixels(1024);
  for (int i = 0; i < 1024; ++i) pixels[i] = rule(i);
  return pixels;
}

// What a pixel turns into after a trip through a file: any alpha but 0 is opaque, and a
// transparent pixel forgets its colour.
TColor32 afterFile(TColor32 pixel) {
  return AlphaOf(pixel) == 0 ? clTransparentWhite32 : (pixel | 0xFF000000u);
}

class SprCodecTest : public ::testing::Test {
 protected:
  std::string put(const Bytes& bytes, const std::string& name = "in.spr") {
    const std::string path = dir.file(name);
    writeBytes(path, bytes);
    return path;
  }
  Bytes saved(bool sprite32, std::uint32_t signature = kSignature) {
    const std::string path = dir.file("out.spr");
    EXPECT_TRUE(file.save(path, static_cast<std::int32_t>(signature), sprite32));
    return readBytes(path);
  }

  TempDir dir;
  FakeHost host;
  TSpriteFile file{host};
};

TEST_F(SprCodecTest, TheWorkedExampleLoadsPixelForPixel) {
  ASSERT_EQ(workedExample().size(), 29u);
  ASSERT_TRUE(file.load(put(workedExample()), false));
  EXPECT_TRUE(file.loaded);
  EXPECT_FALSE(file.isLoading);
  EXPECT_EQ(file.signature, static_cast<std::int32_t>(kSignature));
  ASSERT_EQ(file.Sprites.size(), 2u);

  const TSprite& first = *file.Sprites[0];
  EXPECT_EQ(first.ID(), 1);
  EXPECT_FALSE(first.isDUmmy);
  ASSERT_NE(first.bitmap, nullptr);
  EXPECT_EQ(first.bitmap->Width(), 32);
  EXPECT_EQ(first.bitmap->Height(), 32);
  EXPECT_EQ(first.bitmap->DrawMode, dmOpaque);
  EXPECT_EQ(pixelsOf(first), expectedPixels(workedExamplePixel));

  const TSprite& second = *file.Sprites[1];
  EXPECT_EQ(second.ID(), 2);
  EXPECT_TRUE(second.isDUmmy);
  EXPECT_EQ(second.bitmap, nullptr);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(SprCodecTest, TheWorkedExampleIsWrittenByteForByte) {
  append(file, makeSprite(workedExamplePixel));
  append(file, makeEmptySprite());
  EXPECT_EQ(saved(false), workedExample());
  // The run pair and the trailing transparent run each let events through once.
  EXPECT_EQ(host.eventPumps, 2);
}

TEST_F(SprCodecTest, TheWorkedExampleResavesIdentically) {
  ASSERT_TRUE(file.load(put(workedExample()), false));
  EXPECT_EQ(saved(false), workedExample());
}

// Every kind of sprite the writer meets, in both count widths: save, load, compare the pixels,
// save again and compare the bytes.
TEST_F(SprCodecTest, MixedSpritesRoundTripInBothCountWidths) {
  const std::vector<testing::PixelRule> rules = {
      [](int) { return 0xFF123456u; },                                     // fully opaque
      [](int i) { return i % 2 ? 0xFFABCDEFu : 0u; },                      // longest record
      [](int i) { return i % 2 ? 0u : 0xFF010203u; },                      // opaque pixel 0
      [](int i) { return i == 1023 ? 0xFF0000FFu : 0u; },                  // only the last pixel
      [](int i) { return i < 512 ? 0xFF00FF00u : clTransparentWhite32; },  // trailing gap
      [](int i) { return static_cast<TColor32>(i) * 0x01010101u; },        // alpha 0 and partial
      [](int i) { return (i / 32 + i % 32) % 7 == 0 ? 0x80FF8040u : 0x00ABCDEFu; },
  };
  for (const bool sprite32 : {false, true}) {
    SCOPED_TRACE(sprite32 ? "32-bit count" : "16-bit count");
    file.Sprites.clear();
    for (const auto& rule : rules) {
      append(file, makeSprite(rule));
      append(file, makeEmptySprite());
    }
    auto hidden = makeEmptySprite();  // cleared by the user, image kept
    hidden->bitmap = makeBitmap([](int) { return 0xFFFFFFFFu; });
    append(file, std::move(hidden));

    const Bytes first = saved(sprite32, 0xDEADBEEF);
    // The header counts every sprite, the empty ones too, in the chosen width.
    ASSERT_GE(first.size(), 8u);
    const std::uint32_t count =
        first[4] | (first[5] << 8) |
        (sprite32 ? (first[6] << 16) | (std::uint32_t{first[7]} << 24) : 0u);
    EXPECT_EQ(count, rules.size() * 2 + 1);
    ASSERT_TRUE(file.load(dir.file("out.spr"), sprite32));
    EXPECT_EQ(file.signature, static_cast<std::int32_t>(0xDEADBEEF));
    ASSERT_EQ(file.Sprites.size(), rules.size() * 2 + 1);
    for (std::size_t k = 0; k < rules.size(); ++k) {
      SCOPED_TRACE(k);
      const TSprite& sprite = *file.Sprites[2 * k];
      EXPECT_EQ(sprite.ID(), static_cast<std::int32_t>(2 * k + 1));
      ASSERT_FALSE(sprite.isDUmmy);
      EXPECT_EQ(pixelsOf(sprite), expectedPixels([&](int i) { return afterFile(rules[k](i)); }));
      EXPECT_TRUE(file.Sprites[2 * k + 1]->isDUmmy);
      EXPECT_EQ(file.Sprites[2 * k + 1]->bitmap, nullptr);
    }
    EXPECT_TRUE(file.Sprites.back()->isDUmmy);
    EXPECT_EQ(file.Sprites.back()->bitmap, nullptr);
    EXPECT_EQ(saved(sprite32, 0xDEADBEEF), first);
  }
}

// The record of one sprite as the format describes it, found pixel by pixel; also how many run
// pairs the encoder starts (a last one may find only transparent pixels).
struct PlainRecord {
  SprBytes bytes;
  long runPairs = 0;
};

PlainRecord plainRecord(const std::vector<TColor32>& pixels) {
  SprBytes runs;
  PlainRecord result;
  std::size_t i = 0;
  while (i < pixels.size()) {
    ++result.runPairs;
    const std::size_t start = i;
    while (i < pixels.size() && AlphaOf(pixels[i]) == 0) ++i;
    if (i == pixels.size()) break;
    const std::size_t colouredStart = i;
    while (i < pixels.size() && AlphaOf(pixels[i]) != 0) ++i;
    runs.run(static_cast<std::uint16_t>(colouredStart - start),
             static_cast<std::uint16_t>(i - colouredStart));
    for (std::size_t n = colouredStart; n < i; ++n) {
      runs.rgb(pixels[n] >> 16 & 0xFF, pixels[n] >> 8 & 0xFF, pixels[n] & 0xFF);
    }
  }
  result.bytes.record(static_cast<std::uint16_t>(runs.size()));
  result.bytes.append(runs);
  return result;
}

// The encoder finds runs many pixels at a time; runs that start or end on either side of every
// such boundary must come out exactly as a pixel-by-pixel encoder writes them.
TEST_F(SprCodecTest, RecordsMatchAPixelByPixelEncoderWhereverRunsStartAndEnd) {
  std::vector<testing::PixelRule> rules = {
      [](int i) { return i == 63 || i == 64 ? 0xFF010203u : 0u; },
      [](int i) { return i >= 63 && i < 129 ? 0x01FFEEDDu : 0u; },  // alpha 1 is coloured too
      [](int i) { return i % 64 == 0 || i % 64 == 63 ? 0xFFA0B0C0u : 0u; },
      [](int i) { return i % 16 < 15 ? 0xFF000000u | static_cast<TColor32>(i * 77) : 0u; },
      [](int i) { return i < 1021 ? 0xFFFFFFFFu : 0u; },
      [](int i) { return i > 2 ? 0xFF808080u : 0u; },
      [](int i) { return (i / 5) % 2 ? 0x7F102030u : 0x00FFFFFFu; },
  };
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    // Runs of random lengths from 1 to 70 pixels, so that they straddle every boundary.
    std::vector<TColor32> pixels(1024);
    unsigned state = seed;
    bool coloured = seed % 2 == 0;
    for (std::size_t i = 0; i < pixels.size();) {
      state = state * 1103515245u + 12345u;
      const std::size_t length = 1 + (state >> 16) % 70;
      for (std::size_t n = 0; n < length && i < pixels.size(); ++n, ++i) {
        pixels[i] = coloured ? (0x01000000u | state) + static_cast<TColor32>(i) : state & 0xFFFFFFu;
      }
      coloured = !coloured;
    }
    rules.push_back([pixels](int i) { return pixels[static_cast<std::size_t>(i)]; });
  }

  SprBytes expected;
  expected.header(kSignature, static_cast<std::uint32_t>(rules.size()), true);
  std::vector<PlainRecord> records;
  for (const auto& rule : rules) {
    records.push_back(plainRecord(expectedPixels(rule)));
    append(file, makeSprite(rule));
  }
  std::uint32_t offset = 8 + 4 * static_cast<std::uint32_t>(rules.size());
  long runPairs = 0;
  for (const PlainRecord& record : records) {
    expected.u32(offset);
    offset += static_cast<std::uint32_t>(record.bytes.size());
    runPairs += record.runPairs;
  }
  for (const PlainRecord& record : records) expected.append(record.bytes);
  EXPECT_EQ(saved(true), expected.bytes());
  // The host gets its chance at events once for every run pair.
  EXPECT_EQ(host.eventPumps, runPairs);

  // And the decoder, which also takes pixels several at a time, reads every run back; the last
  // record ends at the end of the file. The portable loops write and read the same.
  for (const TSprCodecPath codec : {TSprCodecPath::Fastest, TSprCodecPath::Portable}) {
    SCOPED_TRACE(codec == TSprCodecPath::Fastest ? "fastest loops" : "portable loops");
    file.codecPath = codec;
    ASSERT_TRUE(file.load(dir.file("out.spr"), true));
    ASSERT_EQ(file.Sprites.size(), rules.size());
    for (std::size_t k = 0; k < rules.size(); ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(pixelsOf(*file.Sprites[k]),
                expectedPixels([&](int i) { return afterFile(rules[k](i)); }));
    }
  }
  file.Sprites.clear();
  for (const auto& rule : rules) append(file, makeSprite(rule));
  EXPECT_EQ(saved(true), expected.bytes());
}

TEST_F(SprCodecTest, CountWidthDecidesWhereTheTableStarts) {
  append(file, makeSprite([](int i) { return i == 0 ? 0xFF010203u : 0u; }));
  const Bytes expected16 = SprBytes().header(7, 1, false).u32(10).record(7).run(0, 1).rgb(1, 2, 3);
  const Bytes expected32 = SprBytes().header(7, 1, true).u32(12).record(7).run(0, 1).rgb(1, 2, 3);
  EXPECT_EQ(saved(false, 7), expected16);
  EXPECT_EQ(saved(true, 7), expected32);
}

TEST_F(SprCodecTest, AFullyOpaqueSpriteIsOneRunOf1024) {
  append(file, makeSprite([](int i) { return 0xFF000000u | static_cast<TColor32>(i); }));
  const Bytes bytes = saved(false);
  ASSERT_EQ(bytes.size(), 10u + 5 + 4 + 3072);
  const Bytes head(bytes.begin() + 10, bytes.begin() + 19);
  EXPECT_EQ(head, (Bytes{0xFF, 0x00, 0xFF, 0x04, 0x0C, 0x00, 0x00, 0x00, 0x04}));
  // Pixel 0x0201 is stored red, green, blue: 00 02 01.
  EXPECT_EQ(bytes[19 + 3 * 0x201], 0x00);
  EXPECT_EQ(bytes[19 + 3 * 0x201 + 1], 0x02);
  EXPECT_EQ(bytes[19 + 3 * 0x201 + 2], 0x01);
  EXPECT_EQ(host.eventPumps, 1);
}

TEST_F(SprCodecTest, AFullyTransparentSpriteIsWrittenAsAnEmptyRecordAndLoadsAsEmpty) {
  append(file, makeSprite([](int) { return 0x00123456u; }));
  const Bytes bytes = saved(false);
  EXPECT_EQ(bytes, Bytes(SprBytes().header(kSignature, 1, false).u32(10).record(0)));
  ASSERT_TRUE(file.load(dir.file("out.spr"), false));
  ASSERT_EQ(file.Sprites.size(), 1u);
  EXPECT_TRUE(file.Sprites[0]->isDUmmy);
  EXPECT_EQ(file.Sprites[0]->bitmap, nullptr);
  EXPECT_EQ(file.Sprites[0]->ID(), 1);
  // Saved again, the empty record becomes a table entry of 0.
  EXPECT_EQ(saved(false), Bytes(SprBytes().header(kSignature, 1, false).u32(0)));
}

TEST_F(SprCodecTest, AnEmptySpriteWithAnImageIsWrittenAsEntryZeroWithoutReadingIt) {
  auto hidden = makeEmptySprite();
  hidden->bitmap = std::make_unique<TBitmap32>();
  hidden->bitmap->SetSize(3, 3);  // not even sprite-sized: it must not be read
  append(file, std::move(hidden));
  EXPECT_EQ(saved(true), Bytes(SprBytes().header(kSignature, 1, true).u32(0)));
  EXPECT_EQ(host.eventPumps, 0);
}

TEST_F(SprCodecTest, AlphaIsEitherZeroOrOpaqueInTheFile) {
  append(file, makeSprite([](int i) { return i == 0 ? 0x80102030u : i == 1 ? 0x00405060u : 0u; }));
  ASSERT_TRUE(file.load(put(saved(false), "alpha.spr"), false));
  EXPECT_EQ(file.Sprites[0]->bitmap->GetPixel(0, 0), 0xFF102030u);
  EXPECT_EQ(file.Sprites[0]->bitmap->GetPixel(1, 0), clTransparentWhite32);
}

TEST_F(SprCodecTest, RecordsInAnyOrderWithAnyKeyAndEmptyRunsLoadAndSaveCanonically) {
  // Sprite 2's record comes first in the file; sprite 1's has a different colour key, a
  // leading skip-only pair and a trailing c = 0 pair.
  const Bytes shuffled = SprBytes()
                             .header(kSignature, 2, false)
                             .u32(26)  // sprite 1
                             .u32(14)  // sprite 2
                             .record(7)
                             .run(1023, 1)
                             .rgb(9, 8, 7)  // offset 14, 12 bytes
                             .u8({1, 2, 3})
                             .u16(15)
                             .run(5, 0)
                             .run(3, 1)
                             .rgb(0xAA, 0xBB, 0xCC)
                             .run(100, 0);
  ASSERT_TRUE(file.load(put(shuffled), false));
  ASSERT_EQ(file.Sprites.size(), 2u);
  EXPECT_EQ(pixelsOf(*file.Sprites[0]),
            expectedPixels([](int i) { return i == 8 ? 0xFFAABBCCu : clTransparentWhite32; }));
  EXPECT_EQ(pixelsOf(*file.Sprites[1]),
            expectedPixels([](int i) { return i == 1023 ? 0xFF090807u : clTransparentWhite32; }));
  const Bytes canonical = SprBytes()
                              .header(kSignature, 2, false)
                              .u32(14)
                              .u32(26)
                              .record(7)
                              .run(8, 1)
                              .rgb(0xAA, 0xBB, 0xCC)
                              .record(7)
                              .run(1023, 1)
                              .rgb(9, 8, 7);
  EXPECT_EQ(saved(false), canonical);
}

TEST_F(SprCodecTest, RunsContinueAcrossRowEnds) {
  SprBytes forty;
  forty.header(kSignature, 1, false).u32(6 + 4).record(4 + 120).run(0, 40);
  for (int i = 0; i < 40; ++i) forty.rgb(i, 0, 0);
  ASSERT_TRUE(file.load(put(forty), false));
  const TBitmap32& bitmap = *file.Sprites[0]->bitmap;
  EXPECT_EQ(bitmap.GetPixel(31, 0), 0xFF1F0000u);
  EXPECT_EQ(bitmap.GetPixel(7, 1), 0xFF270000u);
  EXPECT_EQ(bitmap.GetPixel(8, 1), clTransparentWhite32);
}

TEST_F(SprCodecTest, ARunPairThatCrossesTheDataSizeIsReadWhole) {
  // S = 2 covers only half of the pair's header; the pair is still read with its pixel.
  const Bytes crossing =
      SprBytes().header(kSignature, 1, false).u32(10).record(2).run(4, 1).rgb(1, 1, 1);
  ASSERT_TRUE(file.load(put(crossing), false));
  EXPECT_EQ(file.Sprites[0]->bitmap->GetPixel(4, 0), 0xFF010101u);
}

TEST_F(SprCodecTest, AnEntryOfZeroAndARecordOfSizeZeroBothLoadAsEmpty) {
  const Bytes bytes = SprBytes().header(1, 3, true).u32(0).u32(20).u32(0).record(0);
  ASSERT_TRUE(file.load(put(bytes), true));
  ASSERT_EQ(file.Sprites.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(file.Sprites[k]->isDUmmy);
    EXPECT_EQ(file.Sprites[k]->bitmap, nullptr);
    EXPECT_EQ(file.Sprites[k]->ID(), k + 1);
  }
}

TEST_F(SprCodecTest, AnySignatureLoadsAndIsKept) {
  ASSERT_TRUE(file.load(put(SprBytes().header(0xFFFFFFFFu, 1, false).u32(0)), false));
  EXPECT_EQ(file.signature, -1);
}

TEST_F(SprCodecTest, ProgressIsReportedAfterEverySpriteOfLoadAndSave) {
  ProgressLog log;
  file.onLoadSprite.emplace_back(&log, &ProgressLog::onProgress);
  ASSERT_TRUE(file.load(put(workedExample()), false));
  using Calls = std::vector<std::pair<std::int32_t, std::int32_t>>;
  EXPECT_EQ(log.calls, (Calls{{1, 2}, {2, 2}}));
  log.calls.clear();
  saved(true);
  EXPECT_EQ(log.calls, (Calls{{1, 2}, {2, 2}}));
}

TEST_F(SprCodecTest, LoadingReplacesThePreviousSprites) {
  ASSERT_TRUE(file.load(put(workedExample()), false));
  ASSERT_TRUE(file.load(put(SprBytes().header(5, 1, true).u32(0), "one.spr"), true));
  ASSERT_EQ(file.Sprites.size(), 1u);
  EXPECT_EQ(file.signature, 5);
}

TEST_F(SprCodecTest, AFileThatCannotBeReadFailsQuietlyAndKeepsTheOpenFile) {
  ASSERT_TRUE(file.load(put(workedExample()), false));
  const TSprite* const first = file.Sprites[0].get();
  for (const std::string& path : {dir.file("missing.spr"), dir.path().string(), std::string()}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(file.load(path, false));
    ASSERT_EQ(file.Sprites.size(), 2u);
    EXPECT_EQ(file.Sprites[0].get(), first);
    EXPECT_EQ(pixelsOf(*first), expectedPixels(workedExamplePixel));
    EXPECT_TRUE(file.loaded);
    EXPECT_FALSE(file.isLoading);
    EXPECT_EQ(file.signature, static_cast<std::int32_t>(kSignature));
    EXPECT_FALSE(file.errorString().empty());
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(SprCodecTest, SavingNoSpritesWritesNothing) {
  EXPECT_FALSE(file.save(dir.file("none.spr"), 1, false));
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(SprCodecTest, ACountThatDoesNotFitItsFieldIsRefused) {
  for (int i = 0; i < 65535; ++i) append(file, makeEmptySprite());
  const Bytes full = saved(false);
  ASSERT_EQ(full.size(), 6u + 4 * 65535);
  EXPECT_EQ(full[4], 0xFF);
  EXPECT_EQ(full[5], 0xFF);

  append(file, makeEmptySprite());
  EXPECT_FALSE(file.save(dir.file("out.spr"), 1, false));
  EXPECT_EQ(readBytes(dir.file("out.spr")), full);
  EXPECT_TRUE(file.save(dir.file("wide.spr"), 1, true));
}

TEST_F(SprCodecTest, ASpriteWithoutItsImageFailsTheSaveAndKeepsTheOldFile) {
  const std::string path = put(workedExample());
  auto broken = makeEmptySprite();
  broken->isDUmmy = false;  // claims an image it does not have
  append(file, std::move(broken));
  EXPECT_FALSE(file.save(path, 1, false));
  file.Sprites[0]->bitmap = std::make_unique<TBitmap32>();
  file.Sprites[0]->bitmap->SetSize(16, 16);
  EXPECT_FALSE(file.save(path, 1, false));
  EXPECT_EQ(readBytes(path), workedExample());
}

TEST_F(SprCodecTest, ASaveThatCannotFinishLeavesTheOldFileAndNoLitter) {
  const std::string path = put(workedExample(), "target.spr");
  append(file, makeSprite([](int) { return 0xFF445566u; }));
  std::filesystem::create_directory(dir.path() / "folder");
  EXPECT_FALSE(file.save(dir.file("missing/target.spr"), 1, false));
  EXPECT_FALSE(file.save(dir.file("folder"), 1, false));
  EXPECT_EQ(testing::TempDir::entriesOf(dir.path() / "folder"), std::vector<std::string>{});

  // Out of room half-way: the file size limit stands in for a full disk. In a child process so
  // the limit stays there.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{20, 20};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    ::_exit(file.save(path, 1, false) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readBytes(path), workedExample());
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder", "target.spr"}));
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace tess
