// Draws the toolbar and indicator images of images/ with QPainter. The images are generated from
// this source rather than kept as hand-edited bitmaps, so that anybody can change or add one
// and re-render the whole set in the same style (`cmake --build <dir> --target redraw-images`).

#include "drawings.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>

namespace {

QImage render(const Drawing &drawing)
{
    QImage image(drawing.size, drawing.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing.draw(painter);
    return image;
}

QString outputDirectory(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws korvix's toolbar and indicator images as PNG files."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("directory"),
                                 QStringLiteral("Where to write the images, e.g. images/."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    return parser.positionalArguments().constFirst();
}

} // namespace

int main(int argc, char *argv[])
{
    // Nothing is shown, so the program must also run where there is no display, as in CI.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QDir directory(outputDirectory(app));
    QTextStream err(stderr);
    if (!directory.mkpath(QStringLiteral("."))) {
        err << "draw-images: cannot create " << directory.path() << '\n';
        return 1;
    }
    for (const Drawing &drawing : allDrawings()) {
        const QString path = directory.filePath(drawing.fileName);
        if (!render(drawing).save(path, "PNG")) {
            err << "draw-images: cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
