#include "sprite/TSprStreamWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "sprite/SprBytes.h"
#include "sprite/SpriteFixtures.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess::testing {
namespace {

// Sprites of every kind a file holds: pictures with runs and partial alpha, an empty one, a
// cleared one that keeps its picture hidden, a wholly transparent one and a wholly opaque one.
void fillMixed(TSpriteFile& file, int count) {
  for (int k = 0; k < count; ++k) {
    switch (k % 5) {
      case 0:
        append(file, makeSprite([k](int i) {
                 return (i + k) % 3 == 0 ? 0u : 0x80000000u | static_cast<TColor32>(i * 7 + k);
               }));
        break;
      case 1:
        append(file, makeEmptySprite());
        break;
      case 2: {
        auto cleared = makeSprite([](int i) { return 0xFF000000u | static_cast<TColor32>(i); });
        cleared->isDUmmy = true;
        append(file, std::move(cleared));
        break;
      }
      case 3:
        append(file, makeSprite([](int) { return 0x00FFFFFFu; }));
        break;
      default:
        append(file, makeSprite([k](int i) { return 0xFF000000u | static_cast<TColor32>(i + k); }));
    }
  }
}

TEST(SprStreamWriter, WritesTheBytesTheSaveWritesInEveryLayout) {
  const TempDir dir;
  FakeHost host;
  TSpriteFile file(host);
  fillMixed(file, 23);
  for (const TSprLayout layout : kSprLayouts) {
    for (const TSprSavedAlpha alpha : {TSprSavedAlpha::AsItIs, TSprSavedAlpha::Opaque}) {
      SCOPED_TRACE(std::to_string(layout.countBits()) + (layout.alpha ? " alpha" : " plain") +
                   (alpha == TSprSavedAlpha::Opaque ? " opaque" : ""));
      const std::string saved = dir.file("saved.spr");
      ASSERT_TRUE(file.save(saved, 0x12345678, layout, alpha)) << file.errorString();
      const std::string streamed = dir.file("streamed.spr");
      std::string reason;
      ASSERT_TRUE(writeSprFileStreamed(
          streamed, 0x12345678, layout, file.Sprites.size(), alpha,
          [&](TSprStreamWriter& writer) {
            for (const auto& sprite : file.Sprites) writer.add(*sprite);
          },
          reason))
          << reason;
      EXPECT_EQ(readBytes(streamed), readBytes(saved));
    }
  }
}

TEST(SprStreamWriter, AFailedWriteLeavesTheFileOnDiskAsItWas) {
  const TempDir dir;
  const std::string path = dir.file("keep.spr");
  writeBytes(path, SprBytes().header(1, 1, true).u32(0));
  const auto before = readBytes(path);
  FakeHost host;
  TSpriteFile file(host);
  fillMixed(file, 4);
  const struct {
    const char* name;
    std::size_t count;
    std::function<void(TSprStreamWriter&)> produce;
  } cases[] = {
      {"fewer sprites than the count", 4,
       [&](TSprStreamWriter& writer) { writer.add(*file.Sprites[0]); }},
      {"more sprites than the count", 1,
       [&](TSprStreamWriter& writer) {
         writer.add(*file.Sprites[0]);
         writer.add(*file.Sprites[1]);
       }},
      {"the producer fails", 4,
       [](TSprStreamWriter&) { throw std::runtime_error("the sheet could not be read"); }},
      {"no sprites", 0, [](TSprStreamWriter&) {}},
      {"a count past 16 bits", 70000, [](TSprStreamWriter&) {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reason;
    const TSprLayout layout{c.count != 70000, false};
    EXPECT_FALSE(
        writeSprFileStreamed(path, 7, layout, c.count, TSprSavedAlpha::AsItIs, c.produce, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(readBytes(path), before);
  }
  // Nothing of the failed writes is left in the folder.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace tess::testing
