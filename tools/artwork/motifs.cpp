#include "motifs.h"

#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>

namespace tess::artwork {
namespace {

QPainterPath polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  return path;
}

QPainterPath roundedRect(qreal x, qreal y, qreal w, qreal h, qreal radius) {
  QPainterPath path;
  path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
  return path;
}

QPainterPath circle(qreal cx, qreal cy, qreal r) {
  QPainterPath path;
  path.addEllipse(QPointF(cx, cy), r, r);
  return path;
}

// Thin grooves that carve detail lines into a filled silhouette.
QPainterPath grooves(const QPainterPath& lines, qreal width) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(Qt::FlatCap);
  stroker.setJoinStyle(Qt::MiterJoin);
  return stroker.createStroke(lines);
}

QPainterPath sword() {
  QPainterPath blade = polygon({{0, -12}, {2.2, -9}, {2.2, 4}, {-2.2, 4}, {-2.2, -9}});
  QPainterPath fuller;
  fuller.moveTo(0, -8.5);
  fuller.lineTo(0, 3);
  blade = blade.subtracted(grooves(fuller, 0.9));
  QPainterPath shape = blade;
  shape = shape.united(roundedRect(-6.5, 4, 13, 2.6, 1.2));
  shape = shape.united(roundedRect(-1.3, 6.4, 2.6, 4.2, 0.6));
  shape = shape.united(circle(0, 11.4, 1.9));
  return QTransform().rotate(45).map(shape);
}

QPainterPath potion() {
  QPainterPath flask = circle(0, 4, 7.5);
  flask = flask.united(roundedRect(-2.6, -7, 5.2, 6, 0.5));
  flask = flask.united(roundedRect(-3.8, -9.6, 7.6, 2.8, 1.2));
  // The liquid line and a glint on the glass.
  QPainterPath surface;
  surface.moveTo(-7.5, 1.5);
  surface.cubicTo(-3, 3, 3, 0, 7.5, 1.5);
  flask = flask.subtracted(grooves(surface, 1.0));
  flask = flask.subtracted(circle(-3.2, 6.2, 1.3));
  flask = flask.subtracted(circle(2.4, 7.4, 0.8));
  return flask;
}

QPainterPath shield() {
  QPainterPath outer;
  outer.moveTo(-8.5, -9.5);
  outer.quadTo(0, -12, 8.5, -9.5);
  outer.lineTo(8.5, -1);
  outer.cubicTo(8.5, 6, 3.5, 9.8, 0, 11.5);
  outer.cubicTo(-3.5, 9.8, -8.5, 6, -8.5, -1);
  outer.closeSubpath();
  QPainterPath cross;
  cross.moveTo(0, -10.5);
  cross.lineTo(0, 10.5);
  cross.moveTo(-8.5, -1.5);
  cross.lineTo(8.5, -1.5);
  // An inner rim, and a cross that stops inside it.
  const QPainterPath rim = QTransform().scale(0.72, 0.72).translate(0, -0.4).map(outer);
  return outer.subtracted(grooves(rim, 0.9))
      .subtracted(grooves(cross, 0.9).intersected(QTransform().scale(0.66, 0.66).map(outer)));
}

QPainterPath gem() {
  QPainterPath stone = polygon({{-9, -3}, {-5, -8.5}, {5, -8.5}, {9, -3}, {0, 10}});
  QPainterPath facets;
  facets.moveTo(-9, -3);
  facets.lineTo(9, -3);
  facets.moveTo(-5, -8.5);
  facets.lineTo(-2.6, -3);
  facets.lineTo(0, 10);
  facets.moveTo(5, -8.5);
  facets.lineTo(2.6, -3);
  facets.lineTo(0, 10);
  facets.moveTo(-2.6, -3);
  facets.lineTo(0, -8.5);
  facets.lineTo(2.6, -3);
  return stone.subtracted(grooves(facets, 0.8));
}

QPainterPath key() {
  QPainterPath bow = circle(0, -6.5, 5.2).subtracted(circle(0, -6.5, 2.4));
  QPainterPath shape = bow.united(roundedRect(-1.3, -2, 2.6, 13.5, 0.6));
  shape = shape.united(polygon({{1, 6}, {5, 6}, {5, 8.2}, {1, 8.2}}));
  shape = shape.united(polygon({{1, 9.3}, {4, 9.3}, {4, 11.5}, {1, 11.5}}));
  return QTransform().rotate(-35).map(shape);
}

QPainterPath heart() {
  QPainterPath path;
  path.moveTo(0, 10);
  path.cubicTo(-4, 6.5, -10, 2, -10, -3.5);
  path.cubicTo(-10, -7.5, -7, -9.5, -4.8, -9.5);
  path.cubicTo(-2.5, -9.5, -0.8, -8, 0, -6);
  path.cubicTo(0.8, -8, 2.5, -9.5, 4.8, -9.5);
  path.cubicTo(7, -9.5, 10, -7.5, 10, -3.5);
  path.cubicTo(10, 2, 4, 6.5, 0, 10);
  path.closeSubpath();
  return path.subtracted(circle(-5, -4.5, 1.4));
}

}  // namespace

QPainterPath motifPath(Motif motif) {
  switch (motif) {
    case Motif::Sword:
      return sword();
    case Motif::Potion:
      return potion();
    case Motif::Shield:
      return shield();
    case Motif::Gem:
      return gem();
    case Motif::Key:
      return key();
    case Motif::Heart:
      return heart();
  }
  return {};
}

}  // namespace tess::artwork
