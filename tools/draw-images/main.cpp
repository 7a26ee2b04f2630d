// Draws the toolbar and indicator images of images/, and with --icons the application icon, with
// QPainter. The images are generated from this source rather than kept as hand-edited bitmaps, so
// that anybody can change or add one and re-render the whole set in the same style
// (`cmake --build <dir> --target redraw-images`).

#include "drawings.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextStream>

#include <cstdio>

namespace {

// `draw` paints on a canvas of `units` x `units`, scaled to `pixels` x `pixels`.
QImage render(void (*draw)(QPainter &), int pixels, int units)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(pixels) / units, qreal(pixels) / units);
    draw(painter);
    return image;
}

struct Directories
{
    QString images;
    QString icons; // empty: the application icon is not drawn
};

Directories outputDirectories(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws korvix's toolbar and indicator images as PNG files."));
    parser.addHelpOption();
    const QCommandLineOption icons(
        QStringLiteral("icons"),
        QStringLiteral("Also draw the application icon into <dir>: korvix.svg and korvix-N.png."),
        QStringLiteral("dir"));
    parser.addOption(icons);
    parser.addPositionalArgument(QStringLiteral("directory"),
                                 QStringLiteral("Where to write the images, e.g. images/."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    return {parser.positionalArguments().constFirst(), parser.value(icons)};
}

// The sizes of the hicolor icon theme's fixed-size directories that menus and launchers use.
bool drawApplicationIcons(const QDir &directory)
{
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = directory.filePath(QStringLiteral("korvix-%1.png").arg(size));
        if (!render(drawApplicationIcon, size, applicationIconSize).save(path, "PNG"))
            return false;
    }
    QSvgGenerator svg;
    svg.setFileName(directory.filePath(QStringLiteral("korvix.svg")));
    svg.setSize(QSize(applicationIconSize, applicationIconSize));
    svg.setViewBox(QRect(0, 0, applicationIconSize, applicationIconSize));
    svg.setTitle(QStringLiteral("korvix"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    drawApplicationIcon(painter);
    return painter.end();
}

} // namespace

int main(int argc, char *argv[])
{
    // Nothing is shown, so the program must also run where there is no display, as in CI.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const Directories directories = outputDirectories(app);
    const QDir directory(directories.images);
    QTextStream err(stderr);
    if (!directory.mkpath(QStringLiteral("."))) {
        err << "draw-images: cannot create " << directory.path() << '\n';
        return 1;
    }
    for (const Drawing &drawing : allDrawings()) {
        const QString path = directory.filePath(drawing.fileName);
        if (!render(drawing.draw, drawing.size, drawing.size).save(path, "PNG")) {
            err << "draw-images: cannot write " << path << '\n';
            return 1;
        }
    }
    const QDir icons(directories.icons);
    if (!directories.icons.isEmpty() &&
        (!icons.mkpath(QStringLiteral(".")) || !drawApplicationIcons(icons))) {
        err << "draw-images: cannot write the application icon to " << icons.path() << '\n';
        return 1;
    }
    return 0;
}
