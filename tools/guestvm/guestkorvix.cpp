#include "guestkorvix.h"

#include "guestvm.h"
#include "privatehome.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

QString quoted(const QString &word)
{
    return QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

GuestKorvix::GuestKorvix(GuestVm &guest)
    : vm(guest), runDir(guest.shareDir() + QStringLiteral("/korvix-XXXXXX")), dir(runDir.path())
{
    QDir().mkpath(home());
}

GuestKorvix::~GuestKorvix()
{
    if (running)
        quit();
    // What it said is the first thing to read when a test of it failed.
    if (QTest::currentTestFailed()) {
        const QStringList lines = traces();
        for (const QString &line : lines.mid(qMax(0, lines.size() - 40)))
            qWarning("korvix: %s", qPrintable(line));
    }
}

bool GuestKorvix::start(const QStringList &arguments)
{
    QProcessEnvironment environment = privateHomeEnvironment(home());
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("QT_USE_NATIVE_WINDOWS"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    QStringList command{QStringLiteral("env")};
    const QStringList names = environment.keys();
    for (const QString &name : names)
        command << quoted(name + QLatin1Char('=') + environment.value(name));
    command << quoted(qEnvironmentVariable("KORVIX_BINARY"));
    for (const QString &argument : arguments)
        command << quoted(argument);
    // Its exit status lands beside its traces; the agent does not wait for it.
    running = vm.run(QStringLiteral("cd %1 && ( %2 2>%3/trace & echo $! >%3/pid; wait $!; "
                                    "echo $? >%3/exit ) >/dev/null 2>&1 &")
                         .arg(quoted(home()), command.join(QLatin1Char(' ')), quoted(dir))) == 0;
    return running;
}

QStringList GuestKorvix::traces() const
{
    return QString::fromLocal8Bit(readFile(dir + QStringLiteral("/trace")))
        .split(QLatin1Char('\n'));
}

int GuestKorvix::traceCount(const QString &line) const
{
    return traces().count(line);
}

bool GuestKorvix::waitForTrace(const QString &line, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return traceCount(line) >= count; }, timeoutMs);
}

// The one viewable top-level window named korvix; then the toolbar, the child at the window's
// top left, and its items.
bool GuestKorvix::findWindow()
{
    QByteArray found;
    if (vm.run(QStringLiteral(
                   "for i in $(seq 600); do for w in $(xwininfo -root -children | awk '/ \"korvix/ "
                   "{print $1}'); do xwininfo -id $w | grep -q IsViewable && break 2; done; sleep "
                   "0.2; done; echo $w; bar=$(xwininfo -children -id $w | awk '/\\+0\\+0 / {print "
                   "$1; exit}'); xwininfo -children -id $bar | grep '^ *0x'"),
               &found) != 0)
        return false;
    const QList<QByteArray> lines = found.split('\n');
    window = QString::fromLatin1(lines.value(0).trimmed());
    static const QRegularExpression geometry(
        QStringLiteral("(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+) "));
    toolBarItems.clear();
    for (const QByteArray &line : lines.mid(1)) {
        const QRegularExpressionMatch match = geometry.match(QString::fromLatin1(line));
        if (match.hasMatch())
            toolBarItems << QPoint(match.captured(3).toInt() + match.captured(1).toInt() / 2,
                                   match.captured(4).toInt() + match.captured(2).toInt() / 2);
    }
    std::sort(toolBarItems.begin(), toolBarItems.end(),
              [](const QPoint &a, const QPoint &b) { return a.x() < b.x(); });
    return !window.isEmpty() && !toolBarItems.isEmpty();
}

QString GuestKorvix::windowTitle()
{
    QByteArray title;
    if (window.isEmpty() && !findWindow())
        return QString();
    vm.run(QStringLiteral("xdotool getwindowname %1").arg(window), &title);
    return QString::fromUtf8(title).trimmed();
}

bool GuestKorvix::clickToolBar(int index)
{
    if ((window.isEmpty() && !findWindow()) || index >= toolBarItems.size())
        return false;
    const QPoint centre = toolBarItems.at(index);
    return vm.run(QStringLiteral("xdotool mousemove --window %1 %2 %3 click 1")
                      .arg(window)
                      .arg(centre.x())
                      .arg(centre.y())) == 0;
}

// Keys go to the window under the pointer, so it is moved off the toolbar first.
bool GuestKorvix::typeLine(const QString &text)
{
    if (window.isEmpty() && !findWindow())
        return false;
    return vm.run(QStringLiteral("xdotool mousemove --window %1 100 200 windowfocus --sync %1 "
                                 "type --delay 30 %2 && xdotool key Return")
                      .arg(window, quoted(text))) == 0;
}

bool GuestKorvix::quit()
{
    running = false;
    vm.run(QStringLiteral("kill -TERM $(cat %1/pid)").arg(quoted(dir)));
    const QString exitFile = dir + QStringLiteral("/exit");
    return QTest::qWaitFor([&] { return readFile(exitFile).endsWith('\n'); }, 60000) &&
           readFile(exitFile) == "0\n";
}
