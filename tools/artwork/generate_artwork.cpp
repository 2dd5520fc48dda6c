// Draws every picture the program shows and writes them to one folder:
//   tess_artwork <folder>                    write the pictures, then read each back and check it
//   tess_artwork --verify <folder>           only check the pictures already in <folder>
//   tess_artwork [--verify] --icons <folder> the same for the program icon at the theme sizes
// The output depends only on this recipe (and the Qt build drawing it), never on the time or
// the machine's screen.

#include "artwork_catalogue.h"
#include "artwork_check.h"
#include "gif_encoder.h"
#include "indexed_animation.h"
#include "pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <QTextStream>

#include <exception>

namespace tess::artwork {

namespace {

// The face colour of the windows; the animation's soft edges are blended towards it.
const QColor kWindowFace(240, 240, 240);
// 96 dots per inch, fixed so the files never pick up the resolution of the machine's screen.
constexpr int kDotsPerMetre = 3780;

QTextStream& err() {
  static QTextStream stream(stderr);
  return stream;
}

QTextStream& out() {
  static QTextStream stream(stdout);
  return stream;
}

bool writePng(const QString& path, const QImage& picture) {
  QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  image.setDotsPerMeterX(kDotsPerMetre);
  image.setDotsPerMeterY(kDotsPerMetre);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, "png");
  writer.setQuality(0);  // the smallest file: zlib level 9
  if (!writer.write(image)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool writeBytes(const QString& path, const std::vector<std::uint8_t>& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

QStringList writePngs(const QDir& dir, const std::vector<PngArtwork>& catalogue) {
  QStringList problems;
  for (const PngArtwork& artwork : catalogue) {
    const QString path = dir.filePath(artwork.fileName);
    const QImage picture = artwork.draw();
    if (!writePng(path, picture)) {
      problems << path + ": cannot be written";
      continue;
    }
    problems << checkPng(path, artwork);
    if (QImage(path).convertToFormat(QImage::Format_ARGB32) !=
        picture.convertToFormat(QImage::Format_ARGB32)) {
      problems << path + ": reads back with other pixels";
    }
    out() << path << " (" << QFileInfo(path).size() << " bytes)\n";
  }
  return problems;
}

QStringList generateIcons(const QString& folder) {
  const QDir dir(folder);
  if (!dir.mkpath(QStringLiteral("."))) return {folder + ": cannot create the folder"};
  return writePngs(dir, iconArtwork());
}

QStringList generate(const QString& folder) {
  const QDir dir(folder);
  if (!dir.mkpath(QStringLiteral("."))) return {folder + ": cannot create the folder"};
  QStringList problems = writePngs(dir, pngArtwork());

  const auto frames = loadingFrames();
  const GifAnimation animation = indexFrames(std::vector<QImage>(frames.begin(), frames.end()),
                                             kWindowFace, kLoadingDelayCentiseconds);
  const QString gifPath = dir.filePath(QString::fromLatin1(kLoadingFileName));
  if (!writeBytes(gifPath, encodeGif(animation)))
    return problems << gifPath + ": cannot be written";
  problems << checkLoadingGif(gifPath, animation);
  out() << gifPath << " (" << QFileInfo(gifPath).size() << " bytes, " << animation.palette.size()
        << " colours)\n";
  return problems;
}

}  // namespace
}  // namespace tess::artwork

int main(int argc, char* argv[]) {
  // Drawing needs no screen; the offscreen platform lets this run on build machines.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  using namespace tess::artwork;

  QStringList args = QCoreApplication::arguments().mid(1);
  const bool verifyOnly = args.removeOne(QStringLiteral("--verify"));
  const bool icons = args.removeOne(QStringLiteral("--icons"));
  if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
    err() << "usage: tess_artwork [--icons] <output folder>\n"
             "       tess_artwork --verify [--icons] <folder>\n";
    return 2;
  }
  const QString& folder = args[0];
  QStringList problems;
  try {
    if (icons) {
      problems = verifyOnly ? checkIconFolder(folder) : generateIcons(folder);
    } else {
      problems = verifyOnly ? checkFolder(folder) : generate(folder);
    }
  } catch (const std::exception& error) {
    problems << QString::fromLocal8Bit(error.what());
  }
  for (const QString& problem : problems) err() << problem << '\n';
  if (!problems.isEmpty()) return 1;
  out() << (verifyOnly ? "artwork checked\n" : "artwork written and checked\n");
  return 0;
}
