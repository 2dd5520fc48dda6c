// Files in every layout (16- or 32-bit count, pixels with or without alpha), read and written by
// both the fast and the portable pixel loops.

#include <gtest/gtest.h>

#include <algorithm>
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
using testing::makeEmptySprite;
using testing::makeSprite;
using testing::pixelsOf;
using testing::readBytes;
using testing::SprBytes;
using testing::TempDir;
using Bytes = std::vector<unsigned char>;

constexpr std::uint32_t kSignature = 0x5A17C0DEu;

std::string nameOf(TSprLayout layout) {
  return std::string(layout.sprite32 ? "Count32" : "Count16") + (layout.alpha ? "Rgba" : "Rgb");
}

std::string nameOf(TSprCodecPath path) {
  return path == TSprCodecPath::Fastest ? "Fastest" : "Portable";
}

// What a pixel becomes after a trip through a file of `layout`: alpha 0 is transparent white;
// without alpha, any other alpha is opaque.
TColor32 afterFile(TColor32 pixel, TSprLayout layout) {
  if (AlphaOf(pixel) == 0) return clTransparentWhite32;
  return layout.alpha ? pixel : (pixel | 0xFF000000u);
}

// Sprites that meet every branch of the record reader and writer: runs of every length around
// the vector widths, alpha 0, 1, partial and 255, a fully opaque and the longest record.
std::vector<testing::PixelRule> sampleRules() {
  std::vector<testing::PixelRule> rules = {
      [](int) { return 0xFF123456u; },
      [](int i) { return i % 2 ? 0x80ABCDEFu : 0u; },
      [](int i) { return i % 2 ? 0u : 0x01010203u; },
      [](int i) { return i == 1023 ? 0xFE0000FFu : 0x00FF00FFu; },
      [](int i) { return static_cast<TColor32>(i) * 0x01010101u; },
      [](int i) { return (i / 32 + i % 32) % 7 == 0 ? 0x80FF8040u : 0x00ABCDEFu; },
  };
  for (const unsigned seed : {1u, 2u, 3u}) {
    std::vector<TColor32> pixels(1024);
    unsigned state = seed;
    bool coloured = seed % 2 == 0;
    for (std::size_t i = 0; i < pixels.size();) {
      state = state * 1103515245u + 12345u;
      const std::size_t length = 1 + (state >> 16) % 9;
      for (std::size_t n = 0; n < length && i < pixels.size(); ++n, ++i) {
        pixels[i] = coloured ? (0x01000000u | state) + static_cast<TColor32>(i * 0x01030507u)
                             : state & 0xFFFFFFu;
        if (coloured && AlphaOf(pixels[i]) == 0) pixels[i] |= 0x40000000u;
      }
      coloured = !coloured;
    }
    rules.push_back([pixels](int i) { return pixels[static_cast<std::size_t>(i)]; });
  }
  return rules;
}

std::vector<TColor32> pixelsBy(const testing::PixelRule& rule) {
  std::vector<TColor32> pixels(1024);
  for (int i = 0; i < 1024; ++i) pixels[static_cast<std::size_t>(i)] = rule(i);
  return pixels;
}

// The record a pixel-by-pixel encoder writes for `pixels` in `layout`.
SprBytes plainRecord(const std::vector<TColor32>& pixels, TSprLayout layout) {
  SprBytes runs;
  std::size_t i = 0;
  while (i < pixels.size()) {
    const std::size_t start = i;
    while (i < pixels.size() && AlphaOf(pixels[i]) == 0) ++i;
    if (i == pixels.size()) break;
    const std::size_t colouredStart = i;
    while (i < pixels.size() && AlphaOf(pixels[i]) != 0) ++i;
    runs.run(static_cast<std::uint16_t>(colouredStart - start),
             static_cast<std::uint16_t>(i - colouredStart));
    for (std::size_t n = colouredStart; n < i; ++n) {
      runs.rgb(pixels[n] >> 16 & 0xFF, pixels[n] >> 8 & 0xFF, pixels[n] & 0xFF);
      if (layout.alpha) runs.u8({AlphaOf(pixels[n])});
    }
  }
  SprBytes record;
  record.record(static_cast<std::uint16_t>(runs.size()));
  return record.append(runs);
}

// A whole file of `images` (empty ones where the image list holds no pixels), as written by a
// pixel-by-pixel encoder.
Bytes plainFile(const std::vector<std::vector<TColor32>>& images, TSprLayout layout) {
  SprBytes file;
  file.header(kSignature, static_cast<std::uint32_t>(images.size()), layout.sprite32);
  std::vector<SprBytes> records;
  auto offset = static_cast<std::uint32_t>(layout.tableStart() + 4 * images.size());
  for (const auto& image : images) {
    if (image.empty()) {
      file.u32(0);
      continue;
    }
    records.push_back(plainRecord(image, layout));
    file.u32(offset);
    offset += static_cast<std::uint32_t>(records.back().size());
  }
  for (const SprBytes& record : records) file.append(record);
  return file.bytes();
}

struct LayoutCase {
  TSprLayout layout;
  TSprCodecPath path;
};

std::vector<LayoutCase> everyLayoutAndPath() {
  std::vector<LayoutCase> cases;
  for (const TSprLayout layout : kSprLayouts) {
    for (const TSprCodecPath path : {TSprCodecPath::Fastest, TSprCodecPath::Portable}) {
      cases.push_back({layout, path});
    }
  }
  return cases;
}

class SprLayoutTest : public ::testing::TestWithParam<LayoutCase> {
 protected:
  void SetUp() override { file.codecPath = GetParam().path; }

  // The sample sprites, every other one empty, in `target`.
  std::vector<std::vector<TColor32>> fillSamples(TSpriteFile& target) const {
    std::vector<std::vector<TColor32>> images;
    for (const auto& rule : sampleRules()) {
      append(target, makeSprite(rule));
      images.push_back(pixelsBy(rule));
      append(target, makeEmptySprite());
      images.emplace_back();
    }
    return images;
  }
  Bytes saved(TSpriteFile& from, TSprLayout layout, const std::string& name = "out.spr") {
    const std::string path = dir.file(name);
    EXPECT_TRUE(from.save(path, static_cast<std::int32_t>(kSignature), layout))
        << from.errorString();
    return readBytes(path);
  }
  void expectSprites(const TSpriteFile& loaded, const std::vector<std::vector<TColor32>>& images,
                     TSprLayout layout) const {
    ASSERT_EQ(loaded.Sprites.size(), images.size());
    for (std::size_t k = 0; k < images.size(); ++k) {
      SCOPED_TRACE(k);
      const TSprite& sprite = *loaded.Sprites[k];
      EXPECT_EQ(sprite.ID(), static_cast<std::int32_t>(k + 1));
      if (images[k].empty()) {
        EXPECT_TRUE(sprite.isDUmmy);
        continue;
      }
      ASSERT_FALSE(sprite.isDUmmy);
      std::vector<TColor32> expected = images[k];
      for (TColor32& pixel : expected) pixel = afterFile(pixel, layout);
      EXPECT_EQ(pixelsOf(sprite), expected);
    }
  }

  TempDir dir;
  FakeHost host;
  TSpriteFile file{host};
};

// Written byte for byte as a pixel-by-pixel encoder would, read back pixel for pixel, and the
// same bytes again when saved once more.
TEST_P(SprLayoutTest, SavesLoadsAndResavesExactly) {
  const TSprLayout layout = GetParam().layout;
  const auto images = fillSamples(file);
  const Bytes first = saved(file, layout);
  EXPECT_EQ(first, plainFile(images, layout));

  TSpriteFile loaded(host);
  loaded.codecPath = GetParam().path;
  ASSERT_TRUE(loaded.load(dir.file("out.spr"), layout)) << loaded.errorString();
  EXPECT_EQ(loaded.signature, static_cast<std::int32_t>(kSignature));
  expectSprites(loaded, images, layout);
  EXPECT_EQ(saved(loaded, layout, "again.spr"), first);
  EXPECT_TRUE(host.messages.empty());
}

// From this layout into each of the four: every pixel that both layouts can hold stays, and a
// file that went there and back is the file it was, as long as the first layout held no more
// than the second one can.
TEST_P(SprLayoutTest, ConvertsToEveryLayoutAndBack) {
  const TSprLayout from = GetParam().layout;
  const auto images = fillSamples(file);
  const Bytes original = saved(file, from, "from.spr");
  for (const TSprLayout to : kSprLayouts) {
    SCOPED_TRACE(nameOf(to));
    TSpriteFile source(host);
    source.codecPath = GetParam().path;
    ASSERT_TRUE(source.load(dir.file("from.spr"), from));
    saved(source, to, "to.spr");
    TSpriteFile converted(host);
    converted.codecPath = GetParam().path;
    ASSERT_TRUE(converted.load(dir.file("to.spr"), to));
    // What the first file held, as the second layout holds it.
    std::vector<std::vector<TColor32>> held = images;
    for (auto& image : held) {
      for (TColor32& pixel : image) pixel = afterFile(pixel, from);
    }
    expectSprites(converted, held, to);
    if (!from.alpha || to.alpha) {
      EXPECT_EQ(saved(converted, from, "back.spr"), original);
    }
  }
}

// The fast and the portable loops give the same bytes and the same pixels.
TEST_P(SprLayoutTest, BothPixelLoopsAgree) {
  const TSprLayout layout = GetParam().layout;
  fillSamples(file);
  const Bytes bytes = saved(file, layout, "mine.spr");
  TSpriteFile other(host);
  other.codecPath =
      GetParam().path == TSprCodecPath::Fastest ? TSprCodecPath::Portable : TSprCodecPath::Fastest;
  fillSamples(other);
  EXPECT_EQ(saved(other, layout, "theirs.spr"), bytes);

  TSpriteFile a(host), b(host);
  a.codecPath = file.codecPath;
  b.codecPath = other.codecPath;
  ASSERT_TRUE(a.load(dir.file("mine.spr"), layout));
  ASSERT_TRUE(b.load(dir.file("mine.spr"), layout));
  ASSERT_EQ(a.Sprites.size(), b.Sprites.size());
  for (std::size_t k = 0; k < a.Sprites.size(); ++k) {
    EXPECT_EQ(pixelsOf(*a.Sprites[k]), pixelsOf(*b.Sprites[k])) << k;
  }
}

// A file read with the other pixel size either fails cleanly, leaving the open file as it was,
// or decodes into whole, well-formed sprites; it is never read out of bounds (the sanitizer
// build checks that). Its own layout is the only one that reads it consistently.
TEST_P(SprLayoutTest, ReadWithTheOtherPixelSizeFailsCleanlyOrDecodesWhole) {
  const TSprLayout layout = GetParam().layout;
  fillSamples(file);
  const Bytes bytes = saved(file, layout, "file.spr");
  for (const TSprLayout other : kSprLayouts) {
    SCOPED_TRACE(nameOf(other));
    EXPECT_EQ(sprLayoutReads(bytes.data(), bytes.size(), other), other == layout);
    if (other.sprite32 != layout.sprite32) continue;
    FakeHost quiet;
    TSpriteFile wrong(quiet);
    wrong.codecPath = GetParam().path;
    append(wrong, makeEmptySprite());
    wrong.loaded = true;
    const TSprite* const open = wrong.Sprites[0].get();
    if (wrong.load(dir.file("file.spr"), other)) {
      EXPECT_TRUE(quiet.messages.empty());
      for (const auto& sprite : wrong.Sprites) {
        if (sprite->isDUmmy) continue;
        ASSERT_NE(sprite->bitmap, nullptr);
        EXPECT_EQ(sprite->bitmap->Width(), 32);
        EXPECT_EQ(sprite->bitmap->Height(), 32);
      }
    } else {
      ASSERT_EQ(quiet.messages.size(), 1u);
      EXPECT_EQ(quiet.messages[0].text.rfind("Error Reading sprite: ", 0), 0u);
      EXPECT_EQ(wrong.errorString(), quiet.messages[0].text);
      ASSERT_EQ(wrong.Sprites.size(), 1u);
      EXPECT_EQ(wrong.Sprites[0].get(), open);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, SprLayoutTest, ::testing::ValuesIn(everyLayoutAndPath()),
                         [](const auto& info) {
                           return nameOf(info.param.layout) + nameOf(info.param.path);
                         });

// The alpha byte is kept as it is, and alpha 0 is transparent whatever colour the file gives it.
TEST(SprAlphaTest, AlphaPixelsReadAsStored) {
  const Bytes bytes = SprBytes()
                          .header(kSignature, 1, false)
                          .u32(10)
                          .record(4 + 5 * 4)
                          .run(2, 5)
                          .u8({0x10, 0x20, 0x30, 0x80})
                          .u8({0x40, 0x50, 0x60, 0x01})
                          .u8({0x70, 0x80, 0x90, 0x00})
                          .u8({0xA0, 0xB0, 0xC0, 0xFF})
                          .u8({0xD0, 0xE0, 0xF0, 0x7F});
  const TempDir dir;
  const std::string path = dir.file("alpha.spr");
  testing::writeBytes(path, bytes);
  for (const TSprCodecPath codec : {TSprCodecPath::Fastest, TSprCodecPath::Portable}) {
    SCOPED_TRACE(nameOf(codec));
    FakeHost host;
    TSpriteFile file(host);
    file.codecPath = codec;
    ASSERT_TRUE(file.load(path, TSprLayout{false, true}));
    const std::vector<TColor32> pixels = pixelsOf(*file.Sprites[0]);
    EXPECT_EQ(pixels[1], clTransparentWhite32);
    EXPECT_EQ(pixels[2], 0x80102030u);
    EXPECT_EQ(pixels[3], 0x01405060u);
    EXPECT_EQ(pixels[4], clTransparentWhite32);
    EXPECT_EQ(pixels[5], 0xFFA0B0C0u);
    EXPECT_EQ(pixels[6], 0x7FD0E0F0u);
    EXPECT_EQ(pixels[7], clTransparentWhite32);
  }
}

// Sprites from a file without alpha go into one with alpha opaque, when the caller says so.
TEST(SprAlphaTest, ASaveCanStoreEveryColouredPixelOpaque) {
  const TempDir dir;
  for (const TSprCodecPath codec : {TSprCodecPath::Fastest, TSprCodecPath::Portable}) {
    SCOPED_TRACE(nameOf(codec));
    FakeHost host;
    TSpriteFile file(host);
    file.codecPath = codec;
    append(file,
           makeSprite([](int i) { return i % 3 ? 0x40000000u | static_cast<TColor32>(i) : 0u; }));
    const std::string path = dir.file("opaque.spr");
    ASSERT_TRUE(file.save(path, 1, TSprLayout{true, true}, TSprSavedAlpha::Opaque));
    ASSERT_TRUE(file.load(path, TSprLayout{true, true}));
    const std::vector<TColor32> pixels = pixelsOf(*file.Sprites[0]);
    for (int i = 0; i < 1024; ++i) {
      ASSERT_EQ(pixels[static_cast<std::size_t>(i)],
                i % 3 ? 0xFF000000u | static_cast<TColor32>(i) : clTransparentWhite32)
          << i;
    }
  }
}

// The longest alpha record: 512 pairs of one transparent and one coloured pixel, 4096 bytes.
TEST(SprAlphaTest, TheLongestRecordHoldsFourKilobytesOfRuns) {
  const TempDir dir;
  FakeHost host;
  TSpriteFile file(host);
  append(file, makeSprite([](int i) { return i % 2 ? 0x80102030u : 0u; }));
  const std::string path = dir.file("long.spr");
  ASSERT_TRUE(file.save(path, 1, TSprLayout{false, true}));
  const Bytes bytes = readBytes(path);
  ASSERT_EQ(bytes.size(), 10u + 5 + 4096);
  EXPECT_EQ(bytes[13], 0x00);
  EXPECT_EQ(bytes[14], 0x10);
}

// Alpha pixels whose runs overrun the sprite or the file fail like any other bad record.
TEST(SprAlphaTest, BadAlphaRecordsFailAtTheirSprite) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"pixels_past_the_end",
       SprBytes().header(1, 1, false).u32(10).record(8).run(0, 1).u8({1, 2, 3})},
      {"crossing_pair_past_the_end",
       SprBytes().header(1, 1, false).u32(10).record(4).run(0, 2).u8({1, 2, 3, 4, 5, 6, 7})},
      {"run_overflows_by_one",
       SprBytes().header(1, 1, false).u32(10).record(8).run(1024, 1).u8({1, 2, 3, 4})},
  };
  const TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("bad.spr");
    testing::writeBytes(path, c.bytes);
    FakeHost host;
    TSpriteFile file(host);
    EXPECT_FALSE(file.load(path, TSprLayout{false, true}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Error Reading sprite: 1");
    EXPECT_FALSE(sprLayoutReads(c.bytes.data(), c.bytes.size(), TSprLayout{false, true}));
  }
}

// The consistency check reads the table and the run headers, and is strict where the reader is
// lenient: a record must end exactly at its data size, inside the sprite, past the table.
TEST(SprLayoutReadsTest, TellsConsistentFilesFromInconsistentOnes) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::vector<TSprLayout> reading;  // the layouts that read it
  };
  const TSprLayout rgb16{false, false}, rgba16{false, true}, rgb32{true, false}, rgba32{true, true};
  const std::vector<Case> cases = {
      {"all_empty_16", SprBytes().header(1, 2, false).u32(0).u32(0), {rgb16, rgba16}},
      // The high half of a small 32-bit count reads as the first empty entry of a 16-bit table.
      {"all_empty_32_reads_every_way",
       SprBytes().header(1, 2, true).u32(0).u32(0),
       {rgb16, rgba16, rgb32, rgba32}},
      {"empty_record_16", SprBytes().header(1, 1, false).u32(10).record(0), {rgb16, rgba16}},
      {"one_rgb_pixel",
       SprBytes().header(1, 1, false).u32(10).record(7).run(0, 1).rgb(1, 2, 3),
       {rgb16}},
      {"one_rgba_pixel",
       SprBytes().header(1, 1, true).u32(12).record(8).run(0, 1).u8({1, 2, 3, 4}),
       {rgba32}},
      {"twelve_bytes_of_pixels_read_both_ways",  // 4 RGB pixels or 3 RGBA ones
       SprBytes()
           .header(1, 1, false)
           .u32(10)
           .record(16)
           .run(0, 4)
           .rgb(1, 1, 1)
           .rgb(2, 2, 2)
           .rgb(3, 3, 3)
           .rgb(4, 4, 4),
       {rgb16}},
      {"count_zero", SprBytes().header(1, 0, true), {}},
      {"too_short", SprBytes().u8({1, 2, 3, 4, 1}), {}},
      {"table_past_the_end", SprBytes().header(1, 3, false).u32(0), {}},
      {"record_inside_the_table", SprBytes().header(1, 2, false).u32(10).u32(0).record(0), {}},
      {"slack_after_rgb_runs_is_one_rgba_pixel",
       SprBytes().header(1, 1, false).u32(10).record(8).run(0, 1).rgb(1, 2, 3).u8({9}),
       {rgba16}},
      {"crossing_pair",
       SprBytes().header(1, 1, false).u32(10).record(2).run(4, 1).rgb(1, 1, 1),
       {}},
      {"transparent_past_the_sprite",
       SprBytes().header(1, 1, false).u32(10).record(11).run(0, 1).rgb(1, 2, 3).run(1024, 0),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const TSprLayout layout : kSprLayouts) {
      const bool expected =
          std::find(c.reading.begin(), c.reading.end(), layout) != c.reading.end();
      EXPECT_EQ(sprLayoutReads(c.bytes.data(), c.bytes.size(), layout), expected) << nameOf(layout);
    }
  }
}

}  // namespace
}  // namespace tess
