#include "artwork_catalogue.h"

#include "pictures.h"

namespace tess::artwork {
namespace {

template <int Size>
QImage programIconOf() {
  return programIcon(Size);
}

template <int Size>
PngArtwork iconEntry() {
  return {QStringLiteral("program-%1.png").arg(Size), Size, Size, false, programIconOf<Size>};
}

}  // namespace

std::vector<PngArtwork> pngArtwork() {
  return {
      {QStringLiteral("background.png"), 700, 500, true, background},
      {QStringLiteral("menu-new.png"), 32, 32, false, menuNew},
      {QStringLiteral("menu-open.png"), 32, 32, false, menuOpen},
      {QStringLiteral("menu-save.png"), 32, 32, false, menuSave},
      {QStringLiteral("menu-properties.png"), 32, 32, false, menuProperties},
      {QStringLiteral("icon-main.png"), 32, 32, false, iconMain},
      {QStringLiteral("icon-filedialog.png"), 32, 32, false, iconFileDialog},
      {QStringLiteral("icon-newfile.png"), 32, 32, false, iconNewFile},
      {QStringLiteral("icon-properties.png"), 32, 32, false, iconProperties},
      {QStringLiteral("about.png"), 300, 300, false, aboutEmblem},
  };
}

std::vector<PngArtwork> iconArtwork() {
  return {iconEntry<16>(), iconEntry<22>(), iconEntry<24>(),  iconEntry<32>(),
          iconEntry<48>(), iconEntry<64>(), iconEntry<128>(), iconEntry<256>()};
}

}  // namespace tess::artwork
