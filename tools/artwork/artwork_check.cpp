#include "artwork_check.h"

#include "indexed_animation.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMovie>

#include <cstdlib>

namespace tess::artwork {
namespace {

constexpr int kLoadingDelayMs = kLoadingDelayCentiseconds * 10;

quint32 bigEndian32(const QByteArray& bytes, int at) {
  quint32 value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<quint8>(bytes[at + i]);
  return value;
}

struct AlphaCensus {
  bool anyTransparent = false;
  bool anyOpaque = false;
  bool allOpaque = true;
};

AlphaCensus censusOf(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  AlphaCensus census;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int alpha = qAlpha(line[x]);
      census.anyTransparent |= alpha == 0;
      census.anyOpaque |= alpha == 255;
      census.allOpaque &= alpha == 255;
    }
  }
  return census;
}

// Pixels equal up to `tolerance` levels per channel, as straight RGBA; fully transparent pixels
// match whatever colour they carry.
bool pixelsWithin(const QImage& left, const QImage& right, int tolerance) {
  if (left.size() != right.size()) return false;
  const QImage a = left.convertToFormat(QImage::Format_ARGB32);
  const QImage b = right.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < a.height(); ++y) {
    const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = la[x];
      const QRgb q = lb[x];
      if (std::abs(qAlpha(p) - qAlpha(q)) > tolerance) return false;
      if (qAlpha(p) == 0 || qAlpha(q) == 0) continue;
      if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
          std::abs(qBlue(p) - qBlue(q)) > tolerance) {
        return false;
      }
    }
  }
  return true;
}

bool samePixels(const QImage& left, const QImage& right) { return pixelsWithin(left, right, 0); }

// Another Qt build may round an antialiased edge a few levels differently, while a changed
// picture moves far more than that.
bool closePixels(const QImage& left, const QImage& right) { return pixelsWithin(left, right, 6); }

}  // namespace

QStringList checkPng(const QString& path, const PngArtwork& artwork) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {path + ": cannot be read"};
  const QByteArray bytes = file.readAll();
  static const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);
  if (bytes.size() < 33 || !bytes.startsWith(kSignature) || bytes.mid(12, 4) != "IHDR") {
    return {path + ": not a PNG file"};
  }
  QStringList problems;
  const auto width = static_cast<int>(bigEndian32(bytes, 16));
  const auto height = static_cast<int>(bigEndian32(bytes, 20));
  if (width != artwork.width || height != artwork.height) {
    problems << QStringLiteral("%1: %2 x %3 instead of %4 x %5")
                    .arg(path)
                    .arg(width)
                    .arg(height)
                    .arg(artwork.width)
                    .arg(artwork.height);
  }
  if (bytes[24] != 8 || bytes[25] != 6 || bytes[28] != 0) {
    problems << path + ": not 8-bit RGBA without interlacing";
  }
  const QImage image(path);
  if (image.isNull()) return problems << path + ": does not decode";
  const AlphaCensus census = censusOf(image);
  if (artwork.opaque && !census.allOpaque) problems << path + ": has transparent pixels";
  if (!artwork.opaque && !(census.anyTransparent && census.anyOpaque)) {
    problems << path + ": lacks a shape on a transparent ground";
  }
  return problems;
}

QStringList checkLoadingGif(const QString& path, const std::optional<GifAnimation>& expected) {
  QStringList problems;
  QImageReader reader(path, "gif");
  if (!reader.canRead()) return {path + ": Qt cannot read it as GIF"};
  if (reader.imageCount() != kLoadingFrames) {
    problems << QStringLiteral("%1: %2 frames").arg(path).arg(reader.imageCount());
  }
  if (reader.loopCount() != -1) {
    problems << QStringLiteral("%1: loop count %2, not endless").arg(path).arg(reader.loopCount());
  }
  std::vector<QImage> decoded;
  for (int frame = 0; frame < kLoadingFrames; ++frame) {
    const QImage image = reader.read();
    if (image.isNull())
      return problems << QStringLiteral("%1: frame %2 does not decode").arg(path).arg(frame);
    if (reader.nextImageDelay() != kLoadingDelayMs) {
      problems << QStringLiteral("%1: frame %2 lasts %3 ms")
                      .arg(path)
                      .arg(frame)
                      .arg(reader.nextImageDelay());
    }
    if (image.size() != QSize(kLoadingSize, kLoadingSize)) {
      problems << QStringLiteral("%1: frame %2 has the wrong size").arg(path).arg(frame);
    }
    const AlphaCensus census = censusOf(image);
    if (!census.anyTransparent || !census.anyOpaque) {
      problems << QStringLiteral("%1: frame %2 lacks a transparent ground").arg(path).arg(frame);
    }
    if (expected && !samePixels(image, expectedFrame(*expected, static_cast<std::size_t>(frame)))) {
      problems << QStringLiteral("%1: frame %2 decodes to other pixels").arg(path).arg(frame);
    }
    decoded.push_back(image);
  }
  if (decoded.size() == 2 && samePixels(decoded[0], decoded[1])) {
    problems << path + ": both frames are the same";
  }

  // The open and save window plays the file through QMovie.
  QMovie movie(path, "gif");
  if (!movie.isValid() || movie.frameCount() != kLoadingFrames) {
    problems << QStringLiteral("%1: QMovie sees %2 frames").arg(path).arg(movie.frameCount());
  }
  // QMovie reports the time left on its running frame timer, which depends on the machine's
  // load; the stored delays were checked through the reader above.
  for (int frame = 0; frame < kLoadingFrames; ++frame) {
    if (!movie.jumpToFrame(frame)) {
      problems << QStringLiteral("%1: QMovie cannot show frame %2").arg(path).arg(frame);
    }
  }
  return problems;
}

QStringList checkFolder(const QString& folder) {
  const QDir dir(folder);
  QStringList problems;
  for (const PngArtwork& artwork : pngArtwork()) {
    problems << checkPng(dir.filePath(artwork.fileName), artwork);
  }
  problems << checkLoadingGif(dir.filePath(QString::fromLatin1(kLoadingFileName)), std::nullopt);
  return problems;
}

QStringList checkIconFolder(const QString& folder) {
  const QDir dir(folder);
  QStringList problems;
  for (const PngArtwork& artwork : iconArtwork()) {
    const QString path = dir.filePath(artwork.fileName);
    const QStringList found = checkPng(path, artwork);
    problems << found;
    if (found.isEmpty() && !closePixels(QImage(path), artwork.draw())) {
      problems << path + ": differs from what the recipe draws; regenerate the icons";
    }
  }
  return problems;
}

}  // namespace tess::artwork
