#include "pictures.h"

#include "motifs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tess::artwork {
namespace {

// One palette for every picture, so the menu, the windows and the emblem belong together.
const QColor kInk(51, 65, 92);
const QColor kShadow(20, 30, 50, 45);
const QColor kPaperTop(255, 255, 255);
const QColor kPaperBottom(228, 234, 243);
const QColor kFoldTop(236, 241, 248);
const QColor kFoldBottom(196, 207, 223);
const QColor kListLine(150, 163, 184);
const QColor kBlue(59, 125, 216);
const QColor kBlueDark(30, 78, 150);
const QColor kAmberLight(255, 214, 110);
const QColor kAmber(240, 176, 52);
const QColor kAmberBack(214, 148, 38);
const QColor kAmberDark(150, 98, 16);
const QColor kRed(226, 84, 64);
const QColor kGreen(72, 170, 88);
const QColor kGold(240, 178, 44);
const QColor kTileOff(216, 222, 231);
const QColor kTileOffEdge(166, 177, 194);

const QColor kFieldColour(243, 244, 246);
const QColor kMotifColour(226, 229, 234);

// The four sprite tiles of the emblem, clockwise from the top left, with the item each shows.
struct TileLook {
  QColor colour;
  Motif motif;
};
const std::array<TileLook, 4> kEmblemTiles{
    {{kRed, Motif::Sword}, {kBlue, Motif::Potion}, {kGreen, Motif::Gem}, {kGold, Motif::Shield}}};

QImage canvas(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void smooth(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QPen outline(const QColor& colour, qreal width = 1.0) {
  return QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin);
}

QLinearGradient vertical(const QRectF& area, const QColor& top, const QColor& bottom) {
  QLinearGradient gradient(area.topLeft(), area.bottomLeft());
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  return gradient;
}

// A sheet of paper with its top right corner folded over. Coordinates sit on half pixels so the
// one-pixel outline lands on whole pixels.
void drawPage(QPainter& painter, const QRectF& page, qreal fold) {
  QPainterPath sheet;
  sheet.moveTo(page.topLeft());
  sheet.lineTo(page.right() - fold, page.top());
  sheet.lineTo(page.right(), page.top() + fold);
  sheet.lineTo(page.bottomRight());
  sheet.lineTo(page.bottomLeft());
  sheet.closeSubpath();
  painter.fillPath(sheet.translated(1, 1), kShadow);
  painter.setPen(outline(kInk));
  painter.setBrush(vertical(page, kPaperTop, kPaperBottom));
  painter.drawPath(sheet);

  QPainterPath corner;
  corner.moveTo(page.right() - fold, page.top());
  corner.lineTo(page.right() - fold, page.top() + fold);
  corner.lineTo(page.right(), page.top() + fold);
  corner.closeSubpath();
  QLinearGradient shade(page.right() - fold, page.top() + fold, page.right() - fold / 2,
                        page.top() + fold / 2);
  shade.setColorAt(0, kFoldBottom);
  shade.setColorAt(1, kFoldTop);
  painter.setBrush(shade);
  painter.drawPath(corner);
}

// A round badge in the lower right of an icon, ringed in white so it stands off the picture.
void drawBadge(QPainter& painter, QPointF centre, qreal radius, const QColor& colour) {
  painter.setPen(QPen(Qt::white, 1.5));
  QRadialGradient glow(centre - QPointF(radius * 0.35, radius * 0.45), radius * 1.4);
  glow.setColorAt(0, colour.lighter(135));
  glow.setColorAt(1, colour.darker(115));
  painter.setBrush(glow);
  painter.drawEllipse(centre, radius, radius);
}

void drawInfoMark(QPainter& painter, QPointF centre, qreal radius) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(centre + QPointF(0, -radius * 0.48), radius * 0.2, radius * 0.2);
  painter.drawRoundedRect(
      QRectF(centre.x() - radius * 0.15, centre.y() - radius * 0.15, radius * 0.3, radius * 0.72),
      radius * 0.08, radius * 0.08);
}

void drawPlusMark(QPainter& painter, QPointF centre, qreal radius) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  const qreal arm = radius * 0.6;
  const qreal thick = radius * 0.32;
  painter.drawRect(QRectF(centre.x() - arm, centre.y() - thick / 2, 2 * arm, thick));
  painter.drawRect(QRectF(centre.x() - thick / 2, centre.y() - arm, thick, 2 * arm));
}

// Bullet-and-line rows of a list or a property sheet.
void drawListRows(QPainter& painter, qreal left, qreal top, qreal width, int rows, qreal step) {
  painter.setPen(Qt::NoPen);
  for (int row = 0; row < rows; ++row) {
    const qreal y = top + row * step;
    painter.setBrush(kBlue);
    painter.drawRect(QRectF(left, y, 2, 2));
    painter.setBrush(kListLine);
    painter.drawRect(QRectF(left + 4, y, width - 4 - (row % 2) * 3, 2));
  }
}

// A glossy sprite tile: the colour darkens downwards, with a lit upper half and a darker rim.
void drawTile(QPainter& painter, const QRectF& tile, const QColor& colour, qreal radius,
              qreal rim) {
  painter.setPen(outline(colour.darker(150), rim));
  painter.setBrush(vertical(tile, colour.lighter(122), colour.darker(108)));
  painter.drawRoundedRect(tile, radius, radius);

  QRectF gloss = tile.adjusted(rim * 1.5, rim * 1.5, -rim * 1.5, 0);
  gloss.setHeight(tile.height() * 0.42);
  QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
  shine.setColorAt(0, QColor(255, 255, 255, 90));
  shine.setColorAt(1, QColor(255, 255, 255, 10));
  painter.setPen(Qt::NoPen);
  painter.setBrush(shine);
  painter.drawRoundedRect(gloss, radius * 0.7, radius * 0.7);
}

void drawMotif(QPainter& painter, Motif motif, QPointF centre, qreal scale, const QColor& colour) {
  const QTransform place = QTransform().translate(centre.x(), centre.y()).scale(scale, scale);
  painter.fillPath(place.map(motifPath(motif)), colour);
}

// Opening folder: the back with its tab, a sheet inside, and the front flap tipped forward.
void drawOpenFolder(QPainter& painter) {
  QPainterPath back;
  back.moveTo(3.5, 26.5);
  back.lineTo(3.5, 6.5);
  back.lineTo(11.5, 6.5);
  back.lineTo(13.5, 8.5);
  back.lineTo(25.5, 8.5);
  back.lineTo(25.5, 26.5);
  back.closeSubpath();
  painter.fillPath(back.translated(1, 1), kShadow);
  painter.setPen(outline(kAmberDark));
  painter.setBrush(vertical(back.boundingRect(), kAmber, kAmberBack));
  painter.drawPath(back);

  painter.setPen(outline(kListLine));
  painter.setBrush(kPaperTop);
  painter.drawRect(QRectF(7.5, 10.5, 16, 9));

  QPainterPath front;
  front.moveTo(3.5, 26.5);
  front.lineTo(8.5, 14.5);
  front.lineTo(29.5, 14.5);
  front.lineTo(25.5, 26.5);
  front.closeSubpath();
  painter.fillPath(front.translated(0.5, 1), kShadow);
  painter.setPen(outline(kAmberDark));
  painter.setBrush(vertical(front.boundingRect(), kAmberLight, kAmber));
  painter.drawPath(front);
}

// Closed folder, for the open and save window.
void drawClosedFolder(QPainter& painter) {
  QPainterPath back;
  back.moveTo(2.5, 26.5);
  back.lineTo(2.5, 5.5);
  back.lineTo(10.5, 5.5);
  back.lineTo(12.5, 7.5);
  back.lineTo(27.5, 7.5);
  back.lineTo(27.5, 26.5);
  back.closeSubpath();
  painter.fillPath(back.translated(1, 1), kShadow);
  painter.setPen(outline(kAmberDark));
  painter.setBrush(vertical(back.boundingRect(), kAmber, kAmberBack));
  painter.drawPath(back);

  const QRectF front(2.5, 11.5, 25, 15);
  painter.setBrush(vertical(front, kAmberLight, kAmber));
  painter.drawRoundedRect(front, 1, 1);
}

void drawFloppy(QPainter& painter) {
  QPainterPath body;
  body.moveTo(4.5, 4.5);
  body.lineTo(24.5, 4.5);
  body.lineTo(27.5, 7.5);
  body.lineTo(27.5, 27.5);
  body.lineTo(4.5, 27.5);
  body.closeSubpath();
  painter.fillPath(body.translated(1, 1), kShadow);
  painter.setPen(outline(kBlueDark));
  painter.setBrush(vertical(body.boundingRect(), kBlue.lighter(125), kBlue));
  painter.drawPath(body);

  const QRectF shutter(9.5, 4.5, 13, 8);
  painter.setBrush(vertical(shutter, QColor(238, 242, 247), QColor(188, 198, 212)));
  painter.drawRect(shutter);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kBlueDark);
  painter.drawRect(QRectF(18, 6, 3, 5));

  const QRectF label(8.5, 16.5, 15, 11);
  painter.setPen(outline(kBlueDark));
  painter.setBrush(vertical(label, kPaperTop, kPaperBottom));
  painter.drawRect(label);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kListLine);
  painter.drawRect(QRectF(11, 19.5, 10, 1));
  painter.drawRect(QRectF(11, 22.5, 10, 1));
}

void drawTileGrid(QPainter& painter, qreal origin, qreal size, qreal gap, qreal radius, qreal rim) {
  const std::array<QPointF, 4> corners{{{origin, origin},
                                        {origin + size + gap, origin},
                                        {origin + size + gap, origin + size + gap},
                                        {origin, origin + size + gap}}};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    drawTile(painter, QRectF(corners[i], QSizeF(size, size)), kEmblemTiles[i].colour, radius, rim);
  }
}

// Soft shadow: box blur of the alpha channel, three passes to come close to a Gaussian.
QImage blurredAlpha(const QImage& source, int radius) {
  QImage alpha = source.convertToFormat(QImage::Format_Alpha8);
  const int width = alpha.width();
  const int height = alpha.height();
  std::vector<int> line;
  auto pass = [&](bool horizontal) {
    const int length = horizontal ? width : height;
    const int lines = horizontal ? height : width;
    line.assign(static_cast<std::size_t>(length), 0);
    for (int l = 0; l < lines; ++l) {
      auto at = [&](int i) -> uchar& {
        return horizontal ? alpha.scanLine(l)[i] : alpha.scanLine(i)[l];
      };
      for (int i = 0; i < length; ++i) line[static_cast<std::size_t>(i)] = at(i);
      for (int i = 0; i < length; ++i) {
        const int from = std::max(0, i - radius);
        const int to = std::min(length - 1, i + radius);
        int sum = 0;
        for (int j = from; j <= to; ++j) sum += line[static_cast<std::size_t>(j)];
        at(i) = static_cast<uchar>(sum / (2 * radius + 1));
      }
    }
  };
  for (int round = 0; round < 3; ++round) {
    pass(true);
    pass(false);
  }
  return alpha;
}

QImage shadowOf(const QImage& shape, int radius, const QColor& colour) {
  const QImage alpha = blurredAlpha(shape, radius);
  QImage shadow = canvas(shape.width(), shape.height());
  for (int y = 0; y < shadow.height(); ++y) {
    const uchar* in = alpha.constScanLine(y);
    auto* out = reinterpret_cast<QRgb*>(shadow.scanLine(y));
    for (int x = 0; x < shadow.width(); ++x) {
      const int a = in[x] * colour.alpha() / 255;
      out[x] = qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), a));
    }
  }
  return shadow;
}

// A yellow hexagonal pencil lying along +x with its point at the origin.
void drawPencil(QPainter& painter, qreal length, qreal width) {
  const qreal half = width / 2;
  const qreal cone = width * 1.3;
  const qreal ferrule = length - width * 1.05;
  const qreal eraser = length - width * 0.5;
  const QPen edge = outline(QColor(92, 62, 24), width * 0.08);

  QPainterPath wood;
  wood.moveTo(0, 0);
  wood.lineTo(cone, -half);
  wood.lineTo(cone, half);
  wood.closeSubpath();
  painter.setPen(edge);
  painter.setBrush(QColor(240, 206, 156));
  painter.drawPath(wood);
  QPainterPath lead;
  lead.moveTo(0, 0);
  lead.lineTo(cone * 0.36, -half * 0.36);
  lead.lineTo(cone * 0.36, half * 0.36);
  lead.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(60, 64, 74));
  painter.drawPath(lead);

  const std::array<QColor, 3> faces{QColor(255, 222, 120), QColor(246, 190, 52),
                                    QColor(214, 150, 28)};
  for (int f = 0; f < 3; ++f) {
    painter.setBrush(faces[static_cast<std::size_t>(f)]);
    painter.drawRect(QRectF(cone, -half + f * width / 3, ferrule - cone, width / 3));
  }
  const QRectF band(ferrule, -half, eraser - ferrule, width);
  QLinearGradient metal(band.topLeft(), band.bottomLeft());
  metal.setColorAt(0, QColor(236, 240, 245));
  metal.setColorAt(0.45, QColor(190, 198, 210));
  metal.setColorAt(1, QColor(130, 140, 156));
  painter.setBrush(metal);
  painter.drawRect(band);
  painter.setBrush(QColor(110, 120, 136));
  for (int groove = 1; groove <= 2; ++groove) {
    const qreal x = ferrule + (eraser - ferrule) * groove / 3.0;
    painter.drawRect(QRectF(x - width * 0.03, -half, width * 0.06, width));
  }
  QPainterPath rubber;
  rubber.addRoundedRect(QRectF(eraser - width * 0.2, -half, length - eraser + width * 0.2, width),
                        width * 0.3, width * 0.3);
  // Only the part beyond the metal band shows; its rounding stays at the far end.
  QPainterPath underBand;
  underBand.addRect(QRectF(0, -half, eraser, width));
  rubber = rubber.subtracted(underBand);
  painter.setBrush(
      vertical(QRectF(0, -half, 1, width), QColor(250, 160, 170), QColor(214, 104, 120)));
  painter.drawPath(rubber);

  QPainterPath whole;
  whole.moveTo(0, 0);
  whole.lineTo(cone, -half);
  whole.lineTo(length - width * 0.3, -half);
  whole.quadTo(length, -half, length, -half + width * 0.3);
  whole.lineTo(length, half - width * 0.3);
  whole.quadTo(length, half, length - width * 0.3, half);
  whole.lineTo(cone, half);
  whole.closeSubpath();
  painter.setPen(edge);
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(whole);
  painter.drawLine(QPointF(cone, -half), QPointF(cone, half));
  painter.drawLine(QPointF(ferrule, -half), QPointF(ferrule, half));
}

}  // namespace

QImage background() {
  constexpr int kWidth = 700;
  constexpr int kHeight = 500;
  constexpr int kColumnStep = 70;
  constexpr int kRowStep = 50;
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(kFieldColour);
  QPainter painter(&image);
  smooth(painter);
  // Rows alternate between a staggered and a straight grid, which repeats every 700 x 100 pixels.
  for (int row = 0; row * kRowStep < kHeight; ++row) {
    const int offset = row % 2 == 0 ? kColumnStep / 2 : 0;
    for (int column = 0; offset + column * kColumnStep <= kWidth; ++column) {
      const auto motif = static_cast<Motif>((column + row * 2 + (row / 2) * 3) % kMotifCount);
      const QPointF centre(offset + column * kColumnStep, kRowStep / 2 + row * kRowStep);
      drawMotif(painter, motif, centre, 0.85, kMotifColour);
    }
  }
  return image;
}

QImage menuNew() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  drawPage(painter, QRectF(6.5, 2.5, 19, 27), 7);
  return image;
}

QImage menuOpen() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  drawOpenFolder(painter);
  return image;
}

QImage menuSave() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  drawFloppy(painter);
  return image;
}

QImage menuProperties() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  drawPage(painter, QRectF(4.5, 2.5, 19, 27), 7);
  drawListRows(painter, 8, 11, 11, 3, 4);
  drawBadge(painter, QPointF(23.5, 23.5), 6.5, kBlue);
  drawInfoMark(painter, QPointF(23.5, 23.5), 6.5);
  return image;
}

QImage iconMain() { return programIcon(32); }

QImage programIcon(int size) {
  // The 32-pixel layout scaled, with every edge kept on whole pixels so the small sizes stay
  // sharp: tiles of a whole number of pixels, rims of whole pixels, at least one pixel apart.
  const qreal scale = size / 32.0;
  const int rim = std::max(1, static_cast<int>(std::lround(scale)));
  const int gap = rim;
  const int tile = (size - gap - static_cast<int>(std::lround(3 * scale))) / 2;
  const int margin = (size - 2 * tile - gap) / 2;
  const qreal origin = margin + rim / 2.0;
  const qreal inner = tile - rim;

  QImage image = canvas(size, size);
  QPainter painter(&image);
  smooth(painter);
  drawTileGrid(painter, origin, inner, gap + rim, 2.5 * scale, rim);
  // From 48 pixels up there is room for the items of the About emblem on the tiles.
  if (size < 48) return image;
  const qreal step = tile + gap;
  const std::array<QPointF, 4> offsets{{{0, 0}, {step, 0}, {step, step}, {0, step}}};
  const qreal motifScale = tile * 0.7 / 24;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const QPointF centre = QPointF(margin + tile / 2.0, margin + tile / 2.0) + offsets[i];
    const QColor& colour = kEmblemTiles[i].colour;
    drawMotif(painter, kEmblemTiles[i].motif, centre + QPointF(tile / 54.0, tile / 36.0),
              motifScale, colour.darker(140));
    drawMotif(painter, kEmblemTiles[i].motif, centre, motifScale, QColor(255, 255, 255, 240));
  }
  return image;
}

QImage iconFileDialog() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  drawClosedFolder(painter);
  // A small sprite grid on the flap names what the folder holds.
  const QRectF grid(12.5, 14.5, 10, 10);
  const std::array<QPointF, 4> corners{
      {{grid.left(), grid.top()}, {17.5, grid.top()}, {17.5, 19.5}, {grid.left(), 19.5}}};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    painter.setPen(outline(kEmblemTiles[i].colour.darker(150)));
    painter.setBrush(kEmblemTiles[i].colour);
    painter.drawRect(QRectF(corners[i], QSizeF(4, 4)));
  }
  return image;
}

QImage iconNewFile() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  drawPage(painter, QRectF(4.5, 2.5, 19, 27), 7);
  drawBadge(painter, QPointF(23.5, 23.5), 6.5, kGreen);
  drawPlusMark(painter, QPointF(23.5, 23.5), 6.5);
  return image;
}

QImage iconProperties() {
  QImage image = canvas(32, 32);
  QPainter painter(&image);
  smooth(painter);
  const QPointF centre(16, 16);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kShadow);
  painter.drawEllipse(centre + QPointF(0.8, 1.2), 14, 14);
  painter.setPen(outline(kBlueDark));
  QRadialGradient glow(centre - QPointF(5, 6), 20);
  glow.setColorAt(0, kBlue.lighter(140));
  glow.setColorAt(1, kBlue.darker(110));
  painter.setBrush(glow);
  painter.drawEllipse(centre, 13.5, 13.5);
  drawInfoMark(painter, centre + QPointF(0, 0.5), 13.5);
  return image;
}

QImage aboutEmblem() {
  constexpr int kSize = 300;
  QImage emblem = canvas(kSize, kSize);
  {
    QPainter painter(&emblem);
    smooth(painter);
    constexpr qreal kOrigin = 18;
    constexpr qreal kTile = 108;
    constexpr qreal kGap = 12;
    drawTileGrid(painter, kOrigin, kTile, kGap, 18, 3);
    const std::array<QPointF, 4> centres{
        {{kOrigin + kTile / 2, kOrigin + kTile / 2},
         {kOrigin + kTile * 1.5 + kGap, kOrigin + kTile / 2},
         {kOrigin + kTile * 1.5 + kGap, kOrigin + kTile * 1.5 + kGap},
         {kOrigin + kTile / 2, kOrigin + kTile * 1.5 + kGap}}};
    for (std::size_t i = 0; i < centres.size(); ++i) {
      const QColor& tile = kEmblemTiles[i].colour;
      drawMotif(painter, kEmblemTiles[i].motif, centres[i] + QPointF(2, 3), 3.2, tile.darker(140));
      drawMotif(painter, kEmblemTiles[i].motif, centres[i], 3.2, QColor(255, 255, 255, 240));
    }
    painter.save();
    painter.translate(170, 268);
    painter.rotate(-45);
    drawPencil(painter, 146, 26);
    painter.restore();
  }

  QImage result = canvas(kSize, kSize);
  QPainter painter(&result);
  painter.drawImage(QPointF(5, 8), shadowOf(emblem, 6, QColor(20, 30, 50, 110)));
  painter.drawImage(QPointF(0, 0), emblem);
  return result;
}

std::array<QImage, 2> loadingFrames() {
  // Two lit tiles on opposite corners step a quarter turn clockwise between the frames, so the
  // pair seems to spin.
  const std::array<QPointF, 4> corners{{{2.5, 2.5}, {17.5, 2.5}, {17.5, 17.5}, {2.5, 17.5}}};
  std::array<QImage, 2> frames;
  for (std::size_t frame = 0; frame < frames.size(); ++frame) {
    frames[frame] = canvas(32, 32);
    QPainter painter(&frames[frame]);
    smooth(painter);
    for (std::size_t corner = 0; corner < corners.size(); ++corner) {
      const QRectF tile(corners[corner], QSizeF(12, 12));
      const std::size_t step = (corner + corners.size() - frame) % corners.size();
      if (step == 0) {
        drawTile(painter, tile, kBlue, 2.5, 1);
      } else if (step == 2) {
        drawTile(painter, tile, kAmber, 2.5, 1);
      } else {
        painter.setPen(outline(kTileOffEdge));
        painter.setBrush(kTileOff);
        painter.drawRoundedRect(tile, 2.5, 2.5);
      }
    }
  }
  return frames;
}

}  // namespace tess::artwork
