#include "guestkorvix.h"

#include "guestvm.h"
#include "privatehome.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

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
    QStringList command{QStringLiteral("start"), dir, home(), QStringLiteral("env")};
    const QStringList names = environment.keys();
    for (const QString &name : names)
        command << name + QLatin1Char('=') + environment.value(name);
    command << qEnvironmentVariable("KORVIX_BINARY") << arguments;
    running = vm.runCommand(command) == 0;
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

bool GuestKorvix::findWindow()
{
    QByteArray found;
    if (vm.runCommand({QStringLiteral("window")}, &found) != 0)
        return false;
    const QList<QByteArray> lines = found.trimmed().split('\n');
    window = QString::fromLatin1(lines.value(0));
    toolBarItems.clear();
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> centre = line.split(' ');
        toolBarItems << QPoint(centre.value(0).toInt(), centre.value(1).toInt());
    }
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
    return vm.runCommand({QStringLiteral("click"), window, QString::number(centre.x()),
                          QString::number(centre.y())}) == 0;
}

bool GuestKorvix::typeLine(const QString &text)
{
    if (window.isEmpty() && !findWindow())
        return false;
    return vm.runCommand({QStringLiteral("type"), window, text}) == 0;
}

bool GuestKorvix::quit()
{
    running = false;
    vm.runCommand({QStringLiteral("stop"), dir});
    const QString exitFile = dir + QStringLiteral("/exit");
    return QTest::qWaitFor([&] { return readFile(exitFile).endsWith('\n'); }, 60000) &&
           readFile(exitFile) == "0\n";
}
