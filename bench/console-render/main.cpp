// Times Console::putData alone, offscreen and with the traces off, on chunks of what devices send
// (text with and without markup, binary data) and of what is costly to render (nested tags,
// floods of one entity, of "<", of white space), from 10 KB to 16 MB. Prints the longest of three
// calls on one pane for each, without and with every line stamped with its time of day (the
// chunk read in pieces of 4 KiB, as a fast device's tick is). Run it through run.sh.
#include "console.h"
#include "frame.h"
#include "payload.h"
#include "stamper.h"

#include <usbsim/pattern.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

namespace {

double longestPutMs(const QByteArray &chunk, bool hex, bool stamped)
{
    QStringList keys;
    Console console(nullptr, &keys);
    Stamper stamper(nullptr);
    stamper.setMode(stamped ? Stamper::Mode::TimeOfDay : Stamper::Mode::Off);
    console.setStamper(&stamper);
    console.resize(1024, 700);
    console.show();
    if (hex) {
        QKeyEvent f11(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
        QApplication::sendEvent(&console, &f11);
    }
    QApplication::processEvents();
    double longest = 0;
    for (int i = 0; i < 3; ++i) {
        for (int read = 0; read < chunk.size(); read += 4096)
            stamper.noteRead(chunk.mid(read, 4096), read);
        QElapsedTimer timer;
        timer.start();
        console.putData(chunk);
        longest = qMax(longest, timer.nsecsElapsed() / 1e6);
        QApplication::processEvents();
    }
    return longest;
}

void row(const char *what, const QByteArray &chunk, bool hex = false)
{
    bench::print("%-36s %10d B %9.1f ms %9.1f ms\n", what, int(chunk.size()),
                 longestPutMs(chunk, hex, false), longestPutMs(chunk, hex, true));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without one, Qt makes /tmp/runtime-$USER and leaves it behind.
    const QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    bench::print("%-36s %12s %12s %12s\n", "chunk", "size", "longest", "stamped");
    for (const int size : {10000, 100000, 1000000, 16000000}) {
        row(qPrintable(QStringLiteral("text without < or &, %1").arg(size)), payload::text(size));
        row(qPrintable(QStringLiteral("printable ASCII and TAB, %1").arg(size)),
            payload::markup(size));
    }
    row("binary, as text", usbsim::pattern(0, 16000000, 11));
    row("binary, in hex", usbsim::pattern(0, 16000000, 11), true);
    for (const char *tag : {"<x>", "<b>", "<div>", "<pre>", "<ul><li>", "<table><tr><td>"}) {
        for (const int times : {1000, 4000})
            row(qPrintable(QStringLiteral("%1 x %2").arg(QLatin1String(tag)).arg(times)),
                QByteArray(tag).repeated(times));
    }
    row("<div> x 20,000", QByteArray("<div>").repeated(20000));
    row("<div> x 3,200,000", QByteArray("<div>").repeated(3200000));
    row("&amp; x 100,000", QByteArray("&amp;").repeated(100000));
    row("&amp; x 3,200,000", QByteArray("&amp;").repeated(3200000));
    row("< x 16,000,000", QByteArray(16000000, '<'));
    QByteArray sizes;
    for (int i = 1; i <= 4000; ++i)
        sizes += "<span style=\"font-size:" + QByteArray::number(i) + "px\">x";
    row("4,000 font sizes", sizes);
    row("16 MiB of spaces", QByteArray(16 << 20, ' '));
    row("16 MiB of line feeds", QByteArray(16 << 20, '\n'));
    return 0;
}
