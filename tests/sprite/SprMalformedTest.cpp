#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "SprBytes.h"
#include "SpriteFixtures.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using testing::FakeHost;
using testing::SprBytes;
using testing::TempDir;
using Bytes = std::vector<unsigned char>;

struct MalformedCase {
  std::string name;
  Bytes bytes;
  bool sprite32;
  std::string message;  // empty: the load fails without a message
};

std::ostream& operator<<(std::ostream& out, const MalformedCase& c) { return out << c.name; }

Bytes firstBytes(const Bytes& bytes, std::size_t count) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<MalformedCase> malformedCases() {
  std::vector<MalformedCase> cases;
  const Bytes header32 = SprBytes().header(0x11223344, 1, true).u32(0);
  for (std::size_t n = 0; n < 8; ++n)
    cases.push_back({"header32_cut_at_" + std::to_string(n), firstBytes(header32, n), true, ""});
  const Bytes header16 = SprBytes().header(0x11223344, 1, false).u32(0);
  for (std::size_t n = 0; n < 6; ++n)
    cases.push_back({"header16_cut_at_" + std::to_string(n), firstBytes(header16, n), false, ""});

  const std::string at1 = "Error Reading sprite: 1";
  const std::string at2 = "Error Reading sprite: 2";
  cases.push_back({"count_without_table", SprBytes().header(1, 1, false), false, at1});
  cases.push_back({"table_entry_cut", SprBytes().header(1, 1, false).u16(0), false, at1});
  cases.push_back(
      {"second_table_entry_cut", SprBytes().header(1, 2, false).u32(0).u8({0}), false, at2});
  cases.push_back({"entry_past_the_end", SprBytes().header(1, 1, false).u32(11), false, at1});
  cases.push_back(
      {"entry_far_past_the_end", SprBytes().header(1, 1, false).u32(0xFFFFFFFF), false, at1});
  cases.push_back({"record_header_cut",
                   SprBytes().header(1, 1, false).u32(10).u8({0xFF, 0, 0xFF, 5}), false, at1});
  cases.push_back({"data_size_past_the_end",
                   SprBytes().header(1, 1, false).u32(10).record(8).run(0, 1).rgb(1, 2, 3), false,
                   at1});
  cases.push_back({"pixels_past_the_end_of_a_crossing_pair",
                   SprBytes().header(1, 1, false).u32(10).record(4).run(0, 2).rgb(1, 2, 3), false,
                   at1});
  cases.push_back({"pair_header_past_the_end",
                   SprBytes().header(1, 1, false).u32(10).record(2).u16(0), false, at1});
  cases.push_back({"run_overflows_by_one",
                   SprBytes().header(1, 1, false).u32(10).record(7).run(1024, 1).rgb(1, 2, 3),
                   false, at1});
  {
    SprBytes overflow;
    overflow.header(1, 1, false).u32(10).record(4 + 3 * 25).run(1000, 25);
    for (int i = 0; i < 25; ++i) overflow.rgb(i, i, i);
    cases.push_back({"run_overflows_the_sprite", overflow, false, at1});
  }
  {
    SprBytes twoRuns;  // each run fits, together they do not
    twoRuns.header(1, 1, false).u32(10).record(8 + 3 * 1025).run(0, 1000);
    for (int i = 0; i < 1000; ++i) twoRuns.rgb(1, 1, 1);
    twoRuns.run(0, 25);
    for (int i = 0; i < 25; ++i) twoRuns.rgb(2, 2, 2);
    cases.push_back({"runs_together_overflow", twoRuns, false, at1});
  }
  cases.push_back({"bad_second_sprite_after_a_good_one",
                   SprBytes().header(1, 2, false).u32(14).u32(99).record(7).run(0, 1).rgb(1, 2, 3),
                   false, at2});
  // A count that the file cannot hold fails at the first table entry that is not there,
  // without reserving anything for the rest.
  cases.push_back({"huge_count_32", SprBytes().header(1, 2000000000, true).u32(0).u32(0).u32(0),
                   true, "Error Reading sprite: 4"});
  cases.push_back({"largest_count_32", SprBytes().header(1, 0x7FFFFFFF, true), true,
                   "Error Reading sprite: 1"});
  cases.push_back({"huge_count_16", SprBytes().header(1, 65535, false).u32(0), false,
                   "Error Reading sprite: 2"});
  cases.push_back({"count_zero_16", SprBytes().header(1, 0, false), false, "SPR Count = 0"});
  cases.push_back({"count_zero_32", SprBytes().header(1, 0, true), true, "SPR Count = 0"});
  cases.push_back(
      {"count_negative_32", SprBytes().header(1, 0x80000000u, true).u32(0), true, "SPR Count = 0"});
  cases.push_back(
      {"count_minus_one_32", SprBytes().header(1, 0xFFFFFFFFu, true), true, "SPR Count = 0"});
  return cases;
}

class SprMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(SprMalformedTest, FailsCleanlyWithTheRightMessage) {
  const MalformedCase& c = GetParam();
  const TempDir dir;
  const std::string path = dir.file("bad.spr");
  testing::writeBytes(path, c.bytes);

  // Both pixel loops meet every case.
  for (const TSprCodecPath codec : {TSprCodecPath::Fastest, TSprCodecPath::Portable}) {
    SCOPED_TRACE(codec == TSprCodecPath::Fastest ? "fastest loops" : "portable loops");
    FakeHost host;
    TSpriteFile file(host);
    file.codecPath = codec;
    file.loaded = true;
    file.signature = 0x5EED;
    testing::append(file, testing::makeEmptySprite());
    const TSprite* const open = file.Sprites[0].get();
    testing::ProgressLog log;
    file.onLoadSprite.emplace_back(&log, &testing::ProgressLog::onProgress);

    // Whatever the cause, the file that was open stays exactly as it was.
    EXPECT_FALSE(file.load(path, c.sprite32));
    ASSERT_EQ(file.Sprites.size(), 1u);
    EXPECT_EQ(file.Sprites[0].get(), open);
    EXPECT_TRUE(file.loaded);
    EXPECT_FALSE(file.isLoading);
    EXPECT_EQ(file.signature, 0x5EED);
    EXPECT_FALSE(file.errorString().empty());
    if (c.message.empty()) {
      EXPECT_TRUE(host.messages.empty());
    } else {
      EXPECT_EQ(file.errorString(), c.message);
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_EQ(host.messages[0].text, c.message);
      EXPECT_EQ(host.messages[0].caption, "Error!");
      EXPECT_EQ(host.messages[0].icon, TMsgIcon::Error);
      EXPECT_FALSE(host.messages[0].question);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, SprMalformedTest, ::testing::ValuesIn(malformedCases()),
                         [](const auto& info) { return info.param.name; });

// Random damage to a valid file: whatever the load decides, it never reads or writes out of
// bounds (the sanitizer build checks that), and it ends in one of the two allowed states.
TEST(SprDamageTest, DamagedFilesEitherLoadWhollyOrLeaveTheOpenFile) {
  const TempDir dir;
  FakeHost host;
  TSpriteFile file(host);
  const std::vector<testing::PixelRule> rules = {
      [](int) { return 0xFF102030u; },
      [](int i) { return i % 3 == 0 ? 0xFF405060u : 0u; },
      [](int i) { return i > 1000 ? 0xFF708090u : 0u; },
  };
  for (const auto& rule : rules) {
    testing::append(file, testing::makeSprite(rule));
    testing::append(file, testing::makeEmptySprite());
  }
  const std::string original = dir.file("good.spr");
  ASSERT_TRUE(file.save(original, 0x01020304, false));
  const Bytes good = testing::readBytes(original);

  std::mt19937 random(20240601);
  const std::string path = dir.file("damaged.spr");
  for (int round = 0; round < 1500; ++round) {
    Bytes damaged = good;
    const int kind = round % 3;
    if (kind == 0) {
      damaged.resize(random() % damaged.size());
    } else {
      const int hits = 1 + static_cast<int>(random() % 4);
      for (int h = 0; h < hits; ++h) {
        // Most damage goes to the header, the table and the record heads, where it matters.
        const std::size_t at = kind == 1 ? random() % 64 : random() % damaged.size();
        damaged[at % damaged.size()] = static_cast<unsigned char>(random());
      }
    }
    testing::writeBytes(path, damaged);
    host.messages.clear();
    file.codecPath = round % 2 == 0 ? TSprCodecPath::Fastest : TSprCodecPath::Portable;
    const bool wasLoaded = file.loaded;
    std::vector<const TSprite*> open;
    for (const auto& sprite : file.Sprites) open.push_back(sprite.get());
    const bool loaded = file.load(path, false);
    ASSERT_FALSE(file.isLoading);
    if (!loaded) {
      ASSERT_EQ(file.loaded, wasLoaded);
      ASSERT_EQ(file.Sprites.size(), open.size());
      for (std::size_t k = 0; k < open.size(); ++k) ASSERT_EQ(file.Sprites[k].get(), open[k]);
      continue;
    }
    ASSERT_TRUE(file.loaded);
    ASSERT_TRUE(host.messages.empty());
    for (std::size_t k = 0; k < file.Sprites.size(); ++k) {
      const TSprite& sprite = *file.Sprites[k];
      ASSERT_EQ(sprite.ID(), static_cast<std::int32_t>(k + 1));
      if (!sprite.isDUmmy) {
        ASSERT_NE(sprite.bitmap, nullptr);
        ASSERT_EQ(sprite.bitmap->Width(), 32);
        ASSERT_EQ(sprite.bitmap->Height(), 32);
      }
    }
  }
}

}  // namespace
}  // namespace tess
