#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "core/spriteAnalysis.h"
#include "sprite/TSprite.h"

namespace tess {
namespace {

std::unique_ptr<TSprite> spriteOf(TColor32 fill, bool empty = false) {
  auto sprite = std::make_unique<TSprite>();
  sprite->isDUmmy = empty;
  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSizeAndFill(32, 32, fill);
  return sprite;
}

std::vector<std::unique_ptr<TSprite>> numbered(std::vector<std::unique_ptr<TSprite>> sprites) {
  for (std::size_t k = 0; k < sprites.size(); ++k) sprites[k]->setID(static_cast<int>(k + 1));
  return sprites;
}

TEST(FindDuplicates, GroupsEqualImagesInIdOrderAndLeavesEmptySpritesOut) {
  std::vector<std::unique_ptr<TSprite>> list;
  list.push_back(spriteOf(0xFF102030u));        // 1
  list.push_back(spriteOf(0xFF405060u));        // 2
  list.push_back(spriteOf(0xFF102030u));        // 3: same as 1
  list.push_back(spriteOf(0xFF102030u, true));  // 4: cleared, its hidden image the same
  list.push_back(std::make_unique<TSprite>());  // 5: empty, no image
  list.push_back(std::make_unique<TSprite>());  // 6: empty, no image
  list.push_back(spriteOf(0xFF405060u));        // 7: same as 2
  list.push_back(spriteOf(0xFF102030u));        // 8: same as 1
  list.push_back(spriteOf(0xFF999999u));        // 9: alone
  const auto sprites = numbered(std::move(list));
  const TDuplicateGroups groups = findDuplicates(sprites);
  const TDuplicateGroups expected = {{1, 3, 8}, {2, 7}};
  EXPECT_EQ(groups, expected);
}

TEST(FindDuplicates, TransparentPixelsAreEqualWhateverTheirColourAndOnePixelMatters) {
  std::vector<std::unique_ptr<TSprite>> list;
  list.push_back(spriteOf(0x00FFFFFFu));
  list.back()->bitmap->FBits()[40] = 0xFF102030u;
  list.push_back(
      spriteOf(0x00123456u));  // the same picture on transparent pixels of another colour
  list.back()->bitmap->FBits()[40] = 0xFF102030u;
  list.push_back(spriteOf(0xFF000000u));
  list.push_back(spriteOf(0xFF000000u));
  list.back()->bitmap->FBits()[1023] = 0xFF000001u;  // differs in its last pixel only
  list.push_back(spriteOf(0x80000000u));             // differs from 3 in alpha only
  const auto sprites = numbered(std::move(list));
  const TDuplicateGroups expected = {{1, 2}};
  EXPECT_EQ(findDuplicates(sprites), expected);
}

// A picture of transparent pixels only is saved as an empty sprite, so, like an empty one, it is
// nobody's duplicate.
TEST(FindDuplicates, PicturesOfOnlyTransparentPixelsCountAsEmpty) {
  std::vector<std::unique_ptr<TSprite>> list;
  list.push_back(spriteOf(0x00FFFFFFu));
  list.push_back(spriteOf(0x00123456u));
  list.push_back(spriteOf(0x00000000u));
  list.push_back(spriteOf(0x01000000u));  // barely visible, but visible
  list.push_back(spriteOf(0x01FFFFFFu));  // equal to 4 where it shows
  const auto sprites = numbered(std::move(list));
  EXPECT_EQ(findDuplicates(sprites), TDuplicateGroups{});
  list.clear();
  list.push_back(spriteOf(0x01000000u));
  list.push_back(spriteOf(0x01000000u));
  list.push_back(spriteOf(0x00000000u));
  const auto visible = numbered(std::move(list));
  const TDuplicateGroups expected = {{1, 2}};
  EXPECT_EQ(findDuplicates(visible), expected);
}

TEST(ShowsNothing, EmptyOrAllTransparentSprites) {
  EXPECT_TRUE(showsNothing(TSprite()));
  EXPECT_TRUE(showsNothing(*spriteOf(0xFF102030u, true)));
  EXPECT_TRUE(showsNothing(*spriteOf(0x00102030u)));
  auto one = spriteOf(0x00FFFFFFu);
  one->bitmap->FBits()[517] = 0x01000000u;
  EXPECT_FALSE(showsNothing(*one));
}

}  // namespace
}  // namespace tess
