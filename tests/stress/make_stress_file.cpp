// Writes a sprite file of many sprites with content shaped like client art, for the start and
// stop stress test: make_stress_file PATH COUNT SIGNATURE_HEX (32-bit counts, no alpha).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bitmap/TBitmap32.h"
#include "sprite/EditorHost.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"

namespace {

// Quiet: the writer has nothing to ask.
class SilentHost : public tess::IEditorHost {
 public:
  void showMessage(const std::string& text, const std::string&, tess::TMsgIcon) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  bool askYesNo(const std::string&, const std::string&, tess::TMsgIcon) override { return false; }
  void setMainTitle(const std::string&) override {}
  void processPendingEvents() override {}
  void runSaveCommand() override {}
  void requestTermination() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_stress_file PATH COUNT SIGNATURE_HEX\n");
    return 2;
  }
  const long count = std::strtol(argv[2], nullptr, 10);
  const auto signature = static_cast<std::int32_t>(std::strtoul(argv[3], nullptr, 16));
  SilentHost host;
  tess::TSpriteFile file(host);
  for (long id = 1; id <= count; ++id) {
    auto sprite = std::make_unique<tess::TSprite>();
    sprite->setID(static_cast<std::int32_t>(id));
    sprite->isDUmmy = id % 7 == 0;
    if (!sprite->isDUmmy) {
      sprite->bitmap = std::make_unique<tess::TBitmap32>();
      sprite->bitmap->SetSizeAndFill(32, 32, 0x00FFFFFFu);
      // A blob in the middle, as objects sit on transparent ground.
      for (int y = 8; y < 24; ++y) {
        for (int x = 6 + static_cast<int>(id % 5); x < 26; ++x) {
          sprite->bitmap->FBits()[y * 32 + x] =
              0xFF000000u | static_cast<std::uint32_t>((id * 2654435761u) ^ (x * 131 + y));
        }
      }
    }
    file.Sprites.push_back(std::move(sprite));
  }
  if (!file.save(argv[1], signature, {true, false})) {
    std::fprintf(stderr, "%s\n", file.errorString().c_str());
    return 1;
  }
  return 0;
}
