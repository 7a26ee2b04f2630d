#include "drawings.h"

#include "paint.h"

#include <QPainter>
#include <QRadialGradient>

using paint::circle;
using paint::fillShape;
using paint::polar;

namespace {

// Shared colours: the set reads as one family when the same metal, plastic and signal colours
// come back in several images.
const QColor steel(0x8d, 0x9b, 0xad);
const QColor darkPlastic(0x4a, 0x51, 0x5b);
const QColor lightPlastic(0xc9, 0xd1, 0xdb);
const QColor brass(0xe0, 0xb0, 0x3c);
const QColor signalRed(0xd9, 0x30, 0x25);
const QColor signalGreen(0x3b, 0xa5, 0x3f);
const QColor badgeBlue(0x2f, 0x78, 0xc8);

QPainterPath roundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// --- settings.png -----------------------------------------------------------------------------

QPainterPath gear(const QPointF &centre, int teeth, qreal rootRadius, qreal tipRadius,
                  qreal holeRadius)
{
    // Teeth taper towards the tip as a real gear's do; the outline alone must say "gear" at 24 px.
    const qreal pitch = 360.0 / teeth;
    QPolygonF rim;
    for (int i = 0; i < teeth; ++i) {
        const qreal middle = i * pitch + pitch / 2;
        rim << polar(centre, rootRadius, middle - pitch * 0.30)
            << polar(centre, tipRadius, middle - pitch * 0.17)
            << polar(centre, tipRadius, middle + pitch * 0.17)
            << polar(centre, rootRadius, middle + pitch * 0.30);
    }
    QPainterPath path;
    path.addPolygon(rim);
    path.closeSubpath();
    path.addEllipse(centre, holeRadius, holeRadius);
    return path;
}

void drawSettings(QPainter &p)
{
    const QPointF centre(64, 64);
    const QPainterPath body = gear(centre, 8, 43, 58, 16);
    p.setPen(paint::outline(steel, 3));
    p.setBrush(paint::litFromTopLeft(body.boundingRect(), steel));
    p.drawPath(body);

    // A sunken ring around the hub gives the flat disc some depth without adding detail that
    // would turn to noise when scaled down.
    QLinearGradient groove(centre - QPointF(30, 30), centre + QPointF(30, 30));
    groove.setColorAt(0, steel.darker(150));
    groove.setColorAt(1, steel.lighter(150));
    p.setPen(QPen(QBrush(groove), 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 29, 29);
}

// --- application-exit.png ---------------------------------------------------------------------

void drawApplicationExit(QPainter &p)
{
    const QColor wood(0xa8, 0x6a, 0x32);

    // The door frame with the dark way out behind it.
    const QRectF frame(14, 10, 62, 108);
    fillShape(p, roundedRect(frame, 3), wood, 3);
    const QRectF opening = frame.adjusted(8, 8, -8, 0);
    QLinearGradient dark(opening.topLeft(), opening.bottomLeft());
    dark.setColorAt(0, QColor(0x1c, 0x14, 0x0e));
    dark.setColorAt(1, QColor(0x3d, 0x2c, 0x1f));
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    p.drawRect(opening);

    // The door swung open towards us: its free edge is nearer, hence taller than the hinge edge.
    QPolygonF leaf;
    leaf << QPointF(22, 18) << QPointF(50, 8) << QPointF(50, 124) << QPointF(22, 118);
    QPainterPath door;
    door.addPolygon(leaf);
    door.closeSubpath();
    p.setPen(paint::outline(wood, 3));
    p.setBrush(paint::litFromTopLeft(door.boundingRect(), wood.lighter(115)));
    p.drawPath(door);
    p.setPen(Qt::NoPen);
    p.setBrush(brass);
    p.drawEllipse(QPointF(43, 68), 4, 5);

    // The arrow leaving through the door is what says "exit"; it is the boldest part.
    QPolygonF arrow;
    arrow << QPointF(46, 54) << QPointF(88, 54) << QPointF(88, 32) << QPointF(123, 64)
          << QPointF(88, 96) << QPointF(88, 74) << QPointF(46, 74);
    QPainterPath arrowPath;
    arrowPath.addPolygon(arrow);
    arrowPath.closeSubpath();
    fillShape(p, arrowPath, signalRed, 3);
}

// --- connect.png, disconnect.png --------------------------------------------------------------

// The plug and socket lie on the diagonal, drawn in a frame rotated so that they point along +x:
// the socket on the left (bottom left on screen), the plug on the right (top right on screen).

const qreal prongLength = 18;

void drawCable(QPainter &p, qreal from, qreal to)
{
    const QRectF cable(from, -6, to - from, 12);
    fillShape(p, roundedRect(cable, 6), QColor(0x35, 0x39, 0x3f), 2);
}

void drawSocket(QPainter &p, qreal face)
{
    drawCable(p, -100, face - 38);
    fillShape(p, roundedRect(QRectF(face - 43, -13, 15, 26), 4), darkPlastic, 2.5);
    const QRectF body(face - 31, -24, 31, 48);
    fillShape(p, roundedRect(body, 6), darkPlastic, 3);
    // The socket's mouth: a lighter band on its face, where the prongs go in.
    p.setPen(Qt::NoPen);
    p.setBrush(darkPlastic.lighter(170));
    p.drawRoundedRect(QRectF(face - 7, -19, 4, 38), 2, 2);
}

void drawPlug(QPainter &p, qreal face)
{
    drawCable(p, face + 38, 100);
    for (qreal y : {-10.0, 10.0}) {
        const QRectF prong(face - prongLength, y - 4.5, prongLength + 2, 9);
        QLinearGradient metal(prong.topLeft(), prong.bottomLeft());
        metal.setColorAt(0, brass.lighter(140));
        metal.setColorAt(1, brass.darker(140));
        p.setPen(paint::outline(brass, 2));
        p.setBrush(metal);
        p.drawRoundedRect(prong, 2, 2);
    }
    fillShape(p, roundedRect(QRectF(face + 28, -13, 15, 26), 4), lightPlastic, 2.5);
    fillShape(p, roundedRect(QRectF(face, -21, 31, 42), 6), lightPlastic, 3);
    // Grip ridges tell the plug's body from a plain block.
    p.setPen(QPen(lightPlastic.darker(140), 2.5, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {face + 15.0, face + 22.0})
        p.drawLine(QPointF(x, -13), QPointF(x, 13));
}

void drawSpark(QPainter &p, const QPointF &centre)
{
    // Sparks fly out sideways only: anything along the cable would bridge the gap it shows.
    p.setPen(QPen(signalRed, 5, Qt::SolidLine, Qt::RoundCap));
    for (qreal angle : {60.0, 90.0, 120.0, 240.0, 270.0, 300.0})
        p.drawLine(polar(centre, 12, angle), polar(centre, 24, angle));
}

// `gap` is the distance between the socket's face and the plug's face.
void drawPlugAndSocket(QPainter &p, qreal gap, bool sparking)
{
    p.save();
    p.translate(64, 64);
    p.rotate(-45);
    drawSocket(p, -gap / 2);
    drawPlug(p, gap / 2);
    if (sparking)
        drawSpark(p, QPointF(-prongLength / 2, 0)); // midway between prong tips and socket
    p.restore();
}

void drawConnect(QPainter &p)
{
    // Faces almost touching, with just enough brass showing to see that the prongs are in.
    drawPlugAndSocket(p, 6, false);
}

void drawDisconnect(QPainter &p)
{
    // A gap wide enough to survive scaling to toolbar size, with sparks: the line is broken.
    drawPlugAndSocket(p, 64, true);
}

// --- clear.png --------------------------------------------------------------------------------

void drawClear(QPainter &p)
{
    // A console screen with some lines of text, the lower right of them already rubbed out.
    const QRectF screen(6, 10, 104, 86);
    const QColor glass(0x2c, 0x33, 0x3b);
    fillShape(p, roundedRect(screen, 9), glass, 3);
    p.setPen(QPen(QColor(0xd8, 0xf0, 0xd8), 8, Qt::SolidLine, Qt::RoundCap));
    const qreal lineEnds[] = {92, 74, 54, 34};
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(22, 28 + i * 17), QPointF(lineEnds[i], 28 + i * 17));

    // The eraser, tilted as it is held, rubber end down on the text.
    p.save();
    p.translate(84, 78);
    p.rotate(-45);
    const QColor rubber(0xf0, 0x6f, 0x9a);
    const QColor sleeve(0x3a, 0x7b, 0xd5);
    fillShape(p, roundedRect(QRectF(-36, -17, 36, 34), 6), rubber, 3);
    fillShape(p, roundedRect(QRectF(-8, -18, 42, 36), 5), sleeve, 3);
    p.restore();
}

// --- document-save-2.png ----------------------------------------------------------------------

void drawDocumentSave(QPainter &p)
{
    // A floppy disk, the well known picture of "save", with an arrow putting data into it.
    const QColor disk(0x2f, 0x66, 0xb8);
    fillShape(p, roundedRect(QRectF(3.5, 7.5, 25, 23), 2.5), disk, 1);
    p.setPen(QPen(QColor(0x6c, 0x76, 0x82), 1));
    p.setBrush(paint::litFromTop(QRectF(9, 7.5, 14, 8), QColor(0xd5, 0xda, 0xe0)));
    p.drawRect(QRectF(9.5, 8, 13, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf6, 0xf7, 0xf9));
    p.drawRoundedRect(QRectF(7, 19, 18, 10.5), 1, 1);

    QPolygonF arrow;
    arrow << QPointF(12.5, 0.5) << QPointF(19.5, 0.5) << QPointF(19.5, 9) << QPointF(25, 9)
          << QPointF(16, 18.5) << QPointF(7, 9) << QPointF(12.5, 9);
    QPainterPath arrowPath;
    arrowPath.addPolygon(arrow);
    arrowPath.closeSubpath();
    fillShape(p, arrowPath, signalGreen, 1);
}

// --- process-stop.png -------------------------------------------------------------------------

void drawProcessStop(QPainter &p)
{
    // The road sign's octagon is what tells "stop" apart from the round red LED next to it.
    const QPointF centre(16, 16);
    const QPainterPath sign = paint::regularPolygon(centre, 15.5, 8, 22.5);
    fillShape(p, sign, signalRed, 1);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(paint::regularPolygon(centre, 13.3, 8, 22.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(7.5, 13, 17, 6), 1.5, 1.5);
}

// --- tools.png --------------------------------------------------------------------------------

void drawScrewdriver(QPainter &p)
{
    // Handle at the bottom right, blade towards the top left.
    p.save();
    p.translate(16, 16);
    p.rotate(45);
    const QColor handle(0xe5, 0x5b, 0x13);
    fillShape(p, roundedRect(QRectF(-12.5, -1.5, 15, 3), 1), steel, 0.8);
    fillShape(p, roundedRect(QRectF(2, -4.5, 13.5, 9), 3.5), handle, 1);
    p.restore();
}

void drawWrench(QPainter &p)
{
    // Open jaw at the top right, where it reads best against the screwdriver's handle.
    p.save();
    p.translate(16, 16);
    p.rotate(-45);
    QPainterPath wrench = roundedRect(QRectF(-15, -2.8, 22, 5.6), 2.8);
    wrench = wrench.united(circle(QPointF(9, 0), 6.5));
    QPainterPath jaw;
    jaw.addRect(QRectF(9, -2.6, 8, 5.2));
    wrench = wrench.subtracted(jaw);
    fillShape(p, wrench, steel, 1);
    p.restore();
}

void drawTools(QPainter &p)
{
    drawScrewdriver(p);
    drawWrench(p);
}

// --- question.png -----------------------------------------------------------------------------

void drawQuestion(QPainter &p)
{
    const QPointF centre(16, 16);
    QRadialGradient badge(centre - QPointF(4, 5), 18);
    badge.setColorAt(0, badgeBlue.lighter(150));
    badge.setColorAt(1, badgeBlue.darker(120));
    p.setPen(paint::outline(badgeBlue, 1));
    p.setBrush(badge);
    p.drawEllipse(centre, 15, 15);

    // Drawn as a path rather than a glyph, so it does not depend on the fonts of the machine.
    QPainterPath hook;
    hook.moveTo(11.5, 12);
    hook.arcTo(QRectF(11.5, 7, 9, 9), 180, -225);
    hook.quadTo(QPointF(16, 15.5), QPointF(16, 18.5));
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 23.5), 2, 2);
}

// --- led_green.png, led_red.png ---------------------------------------------------------------

void drawLed(QPainter &p, const QColor &light)
{
    const QPointF centre(32, 32);

    // A metal bezel, and a recessed ring inside it lit the other way round.
    QLinearGradient bezel(4, 4, 60, 60);
    bezel.setColorAt(0, QColor(0xf0, 0xf2, 0xf5));
    bezel.setColorAt(1, QColor(0x5c, 0x64, 0x6e));
    p.setPen(QPen(QColor(0x3a, 0x40, 0x48), 1.5));
    p.setBrush(bezel);
    p.drawEllipse(centre, 30, 30);
    QLinearGradient recess(8, 8, 56, 56);
    recess.setColorAt(0, QColor(0x4a, 0x50, 0x58));
    recess.setColorAt(1, QColor(0xe0, 0xe4, 0xea));
    p.setPen(Qt::NoPen);
    p.setBrush(recess);
    p.drawEllipse(centre, 25, 25);

    // The lit lens: brightest where the die sits, saturated towards the rim.
    QRadialGradient glow(centre + QPointF(0, 3), 23);
    glow.setColorAt(0, light.lighter(175));
    glow.setColorAt(0.45, light);
    glow.setColorAt(1, light.darker(170));
    p.setPen(QPen(light.darker(250), 1));
    p.setBrush(glow);
    p.drawEllipse(centre, 22, 22);

    // The window's reflection on the dome, which makes it look round and glassy.
    const QRectF shine(19, 13, 26, 17);
    QLinearGradient reflection(shine.topLeft(), shine.bottomLeft());
    reflection.setColorAt(0, QColor(255, 255, 255, 230));
    reflection.setColorAt(1, QColor(255, 255, 255, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(reflection);
    p.drawEllipse(shine);
}

void drawLedGreen(QPainter &p)
{
    drawLed(p, QColor(0x2c, 0xd0, 0x3a));
}

void drawLedRed(QPainter &p)
{
    drawLed(p, QColor(0xf2, 0x2a, 0x1e));
}

// --- the application icon ---------------------------------------------------------------------

void drawScreen(QPainter &p)
{
    // A terminal screen with a line received and a prompt: what the program is, before what it
    // talks to.
    fillShape(p, roundedRect(QRectF(4, 6, 112, 86), 12), darkPlastic, 3);
    const QRectF glass(14, 16, 92, 62);
    QLinearGradient shade(glass.topLeft(), glass.bottomLeft());
    shade.setColorAt(0, QColor(0x1d, 0x23, 0x2a));
    shade.setColorAt(1, QColor(0x0b, 0x0e, 0x11));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(glass, 5, 5);

    // Strokes wide enough to stay a line and a prompt at 16 px.
    const QColor phosphor(0x5c, 0xe0, 0x6a);
    p.setPen(QPen(phosphor, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(26, 31), QPointF(76, 31));
    QPolygonF prompt;
    prompt << QPointF(26, 48) << QPointF(38, 57) << QPointF(26, 66);
    p.drawPolyline(prompt);
    p.setPen(Qt::NoPen);
    p.setBrush(phosphor);
    p.drawRect(QRectF(48, 62, 20, 8));
}

void drawSerialConnector(QPainter &p)
{
    // The nine-pin D-sub of a serial port, its trapezoid shell the part that survives at 16 px.
    QPolygonF shell;
    shell << QPointF(56, 86) << QPointF(118, 86) << QPointF(109, 120) << QPointF(65, 120);
    QPainterPath shellPath;
    shellPath.addPolygon(shell);
    shellPath.closeSubpath();
    QPainterPathStroker rounding;
    rounding.setWidth(8);
    rounding.setJoinStyle(Qt::RoundJoin);
    fillShape(p, shellPath.united(rounding.createStroke(shellPath)), steel, 3);

    QPolygonF face;
    face << QPointF(63, 92) << QPointF(111, 92) << QPointF(104, 115) << QPointF(70, 115);
    p.setPen(Qt::NoPen);
    p.setBrush(darkPlastic);
    p.drawPolygon(face);
    p.setBrush(brass);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(69 + i * 9, 98.5), 3.2, 3.2);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(73.5 + i * 9, 108.5), 3.2, 3.2);
}

} // namespace

void drawApplicationIcon(QPainter &painter)
{
    drawScreen(painter);
    drawSerialConnector(painter);
}

const std::vector<Drawing> &allDrawings()
{
    static const std::vector<Drawing> drawings = {
        {QStringLiteral("settings.png"), 128, drawSettings},
        {QStringLiteral("application-exit.png"), 128, drawApplicationExit},
        {QStringLiteral("connect.png"), 128, drawConnect},
        {QStringLiteral("disconnect.png"), 128, drawDisconnect},
        {QStringLiteral("clear.png"), 128, drawClear},
        {QStringLiteral("document-save-2.png"), 32, drawDocumentSave},
        {QStringLiteral("process-stop.png"), 32, drawProcessStop},
        {QStringLiteral("tools.png"), 32, drawTools},
        {QStringLiteral("question.png"), 32, drawQuestion},
        {QStringLiteral("led_green.png"), 64, drawLedGreen},
        {QStringLiteral("led_red.png"), 64, drawLedRed},
    };
    return drawings;
}
