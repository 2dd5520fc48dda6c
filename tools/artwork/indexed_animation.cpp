#include "indexed_animation.h"

#include <map>
#include <stdexcept>
#include <utility>

namespace tess::artwork {
namespace {

constexpr int kOpaqueFrom = 128;

int blend(int channel, int backdrop, int alpha) {
  return (channel * alpha + backdrop * (255 - alpha) + 127) / 255;
}

}  // namespace

GifAnimation indexFrames(const std::vector<QImage>& frames, const QColor& backdrop,
                         int delayCentiseconds) {
  if (frames.empty()) throw std::runtime_error("no frames to index");
  GifAnimation animation;
  animation.width = frames.front().width();
  animation.height = frames.front().height();
  animation.palette.push_back({static_cast<std::uint8_t>(backdrop.red()),
                               static_cast<std::uint8_t>(backdrop.green()),
                               static_cast<std::uint8_t>(backdrop.blue())});
  animation.transparentIndex = 0;
  animation.loopCount = 0;

  // Colours are numbered in order of first use, so the same frames always give the same file.
  std::map<QRgb, std::uint8_t> indexOf;
  for (const QImage& source : frames) {
    if (source.size() != frames.front().size()) throw std::runtime_error("frame sizes differ");
    const QImage frame = source.convertToFormat(QImage::Format_ARGB32);
    GifFrame indexed;
    indexed.delayCentiseconds = delayCentiseconds;
    indexed.indices.reserve(static_cast<std::size_t>(frame.width()) *
                            static_cast<std::size_t>(frame.height()));
    for (int y = 0; y < frame.height(); ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < frame.width(); ++x) {
        const QRgb pixel = line[x];
        const int alpha = qAlpha(pixel);
        if (alpha < kOpaqueFrom) {
          indexed.indices.push_back(0);
          continue;
        }
        const QRgb opaque = qRgb(blend(qRed(pixel), backdrop.red(), alpha),
                                 blend(qGreen(pixel), backdrop.green(), alpha),
                                 blend(qBlue(pixel), backdrop.blue(), alpha));
        auto found = indexOf.find(opaque);
        if (found == indexOf.end()) {
          if (animation.palette.size() == 256) {
            throw std::runtime_error("animation needs more than 255 colours");
          }
          found =
              indexOf.emplace(opaque, static_cast<std::uint8_t>(animation.palette.size())).first;
          animation.palette.push_back({static_cast<std::uint8_t>(qRed(opaque)),
                                       static_cast<std::uint8_t>(qGreen(opaque)),
                                       static_cast<std::uint8_t>(qBlue(opaque))});
        }
        indexed.indices.push_back(found->second);
      }
    }
    animation.frames.push_back(std::move(indexed));
  }
  return animation;
}

QImage expectedFrame(const GifAnimation& animation, std::size_t frame) {
  QImage image(animation.width, animation.height, QImage::Format_ARGB32);
  const GifFrame& source = animation.frames.at(frame);
  std::size_t at = 0;
  for (int y = 0; y < animation.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < animation.width; ++x, ++at) {
      const std::uint8_t index = source.indices[at];
      if (index == animation.transparentIndex) {
        line[x] = qRgba(0, 0, 0, 0);
      } else {
        const GifColour& colour = animation.palette[index];
        line[x] = qRgb(colour[0], colour[1], colour[2]);
      }
    }
  }
  return image;
}

}  // namespace tess::artwork
