#include "paint.h"

#include <QPainter>
#include <QPolygonF>
#include <QtMath>

namespace paint {

QLinearGradient litFromTop(const QRectF &box, const QColor &base)
{
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0, base.lighter(135));
    gradient.setColorAt(1, base.darker(125));
    return gradient;
}

QLinearGradient litFromTopLeft(const QRectF &box, const QColor &base)
{
    QLinearGradient gradient(box.topLeft(), box.bottomRight());
    gradient.setColorAt(0, base.lighter(140));
    gradient.setColorAt(1, base.darker(130));
    return gradient;
}

QPen outline(const QColor &base, qreal width)
{
    return QPen(base.darker(220), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPointF polar(const QPointF &centre, qreal radius, qreal degrees)
{
    const qreal radians = qDegreesToRadians(degrees);
    return centre + QPointF(radius * qCos(radians), -radius * qSin(radians));
}

QPainterPath regularPolygon(const QPointF &centre, qreal radius, int corners, qreal firstDegrees)
{
    QPolygonF polygon;
    for (int i = 0; i < corners; ++i)
        polygon << polar(centre, radius, firstDegrees + i * 360.0 / corners);
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

QPainterPath circle(const QPointF &centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

void fillShape(QPainter &painter, const QPainterPath &shape, const QColor &base, qreal edge)
{
    painter.setPen(outline(base, edge));
    painter.setBrush(litFromTop(shape.boundingRect(), base));
    painter.drawPath(shape);
}

} // namespace paint
