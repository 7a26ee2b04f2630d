#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

class QPainter;

// Small shared vocabulary of the drawings, so that all images get the same light and outlines and
// look like one set.
namespace paint {

// Light falls from the top (left), as in the common desktop themes, so our images sit well among
// the ones the style draws.
QLinearGradient litFromTop(const QRectF &box, const QColor &base);
QLinearGradient litFromTopLeft(const QRectF &box, const QColor &base);

// A dark edge of the fill's own hue keeps a shape readable on both light and dark toolbars.
QPen outline(const QColor &base, qreal width);

// Angles count counter-clockwise from three o'clock, like QPainter's arcs.
QPointF polar(const QPointF &centre, qreal radius, qreal degrees);
QPainterPath regularPolygon(const QPointF &centre, qreal radius, int corners, qreal firstDegrees);
QPainterPath circle(const QPointF &centre, qreal radius);

// Fills with the lit gradient of `base` and strokes the outline in one go.
void fillShape(QPainter &painter, const QPainterPath &shape, const QColor &base, qreal edge);

} // namespace paint
