#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace tess::artwork {

struct PngArtwork {
  QString fileName;
  int width;
  int height;
  // Opaque pictures fill their whole area; the others are shapes on a transparent ground.
  bool opaque;
  QImage (*draw)();
};

// Every PNG file the program's windows load, in the order they are written.
std::vector<PngArtwork> pngArtwork();

// The program icon at every size a desktop's icon theme asks for, as the package installs it
// into the hicolor theme: program-<size>.png.
std::vector<PngArtwork> iconArtwork();

inline constexpr char kLoadingFileName[] = "loading.gif";
inline constexpr int kLoadingSize = 32;
inline constexpr int kLoadingFrames = 2;
inline constexpr int kLoadingDelayCentiseconds = 60;

}  // namespace tess::artwork
