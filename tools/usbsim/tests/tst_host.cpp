#include <usbsim/adapter.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <signal.h>
#include <unistd.h>

// Runs on the host, outside any sandbox: what usbsim must never do to a machine.
class HostTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void killedSandboxLeavesTheHostUntouched();

private:
    QString usbsim;
    QStringList usbsimAsNobody;
    QTemporaryDir scratch;
};

// What a sandbox could leave behind on the host. /dev/pts, /dev/shm and /run's depths change
// with whatever else runs on the machine, so only their own entries count.
static QStringList hostState()
{
    const std::pair<const char *, bool> roots[] = {
        {"/dev", false},     {"/run", false},           {"/run/lock", true},
        {"/var/lock", true}, {"/sys/class/tty", false}, {"/sys/devices/virtual", false}};
    QStringList names;
    for (const auto &[root, recursive] : roots) {
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
        while (it.hasNext())
            names << it.next();
    }
    names.sort();
    return names;
}

// Processes whose environment carries `token`: everything the sandbox started inherits it.
static QStringList processesWith(const QByteArray &token)
{
    QStringList found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        QFile variables(QStringLiteral("/proc/%1/environ").arg(pid));
        if (pid.toInt() > 0 && variables.open(QIODevice::ReadOnly) &&
            variables.readAll().contains(token))
            found << pid;
    }
    return found;
}

void HostTest::initTestCase()
{
    usbsim = qEnvironmentVariable("USBSIM_BINARY");
    QVERIFY(QFile::exists(usbsim));
    QVERIFY(!usbsim::insideSandbox());
    QVERIFY(scratch.isValid());
    // A copy, which nobody can reach wherever the build lies.
    const QString copy = scratch.filePath(QStringLiteral("usbsim"));
    QVERIFY(QFile::copy(usbsim, copy));
    QVERIFY(QFile::setPermissions(scratch.path(), QFile::permissions(copy)));
    usbsimAsNobody =
        QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", copy};
    usbsim::Adapter adapter; // as in a test started outside the sandbox
    QVERIFY(!adapter.plug(QStringLiteral("ttyUSB9")));
}

// The sandbox hands every verdict of a test inside it to CTest; an adapter refuses to plug
// outside it.
void HostTest::exitStatus_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("status");
    const QStringList exit7{"sandbox", "--", "sh", "-c", "exit 7"};
    QTest::newRow("sandbox, exit 7") << QStringList{usbsim} + exit7 << 7;
    QTest::newRow("sandbox, killed")
        << QStringList{usbsim, "sandbox", "--", "sh", "-c", "kill -TERM $$"} << 128 + SIGTERM;
    QTest::newRow("adapter outside") << QStringList{usbsim, "adapter", "ttyUSB9"} << 1;
    if (::geteuid() == 0) // root's sandbox enters no user namespace; everybody else's does
        QTest::newRow("sandbox as nobody, exit 7") << usbsimAsNobody + exit7 << 7;
}

void HostTest::exitStatus()
{
    QFETCH(QStringList, command);
    QFETCH(int, status);
    const QStringList before = hostState();
    QProcess process;
    process.start(command.first(), command.mid(1));
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(hostState(), before);
}

void HostTest::killedSandboxLeavesTheHostUntouched()
{
    const QStringList before = hostState();
    const QString mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray token = "USBSIM_HOST_TEST=" + mark.toLatin1();
    const QString ready = scratch.filePath(QStringLiteral("ready"));
    const QString script =
        QStringLiteral(
            "set -e\n"
            "U='%1'\n"
            "$U adapter ttyUSB9 --serial HOSTTEST --busy --generate 10000000 > '%2/a' &\n"
            "$U adapter ttyACM9 --personality demo > '%2/b' &\n"
            "until [ -s '%2/a' ] && [ -s '%2/b' ]; do sleep 0.05; done\n"
            "sleep 600 &\n"
            "{ ls /dev; ls /run/lock; $U ports; } > '%3.tmp'\n"
            "mv '%3.tmp' '%3'\n"
            "wait\n")
            .arg(usbsim, scratch.path(), ready);
    QProcess sandbox;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("USBSIM_HOST_TEST"), mark);
    sandbox.setProcessEnvironment(environment);
    sandbox.start(usbsim, {"sandbox", "--", "sh", "-c", script});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready) || sandbox.state() == QProcess::NotRunning,
                             60000);
    QFile inside(ready);
    QVERIFY2(inside.open(QIODevice::ReadOnly), sandbox.readAllStandardError().constData());
    const QByteArray seen = inside.readAll();
    QVERIFY2(seen.contains("ttyUSB9\n") && seen.contains("LCK..ttyUSB9") &&
                 seen.contains("ttyACM9\t"),
             seen.constData());
    // Proves the token is seen, so the empty list below means something.
    QVERIFY(processesWith(token).size() >= 6); // sandbox, its init, the shell, two adapters, sleep

    ::kill(pid_t(sandbox.processId()), SIGKILL);
    QVERIFY(sandbox.waitForFinished());
    QTRY_COMPARE_WITH_TIMEOUT(processesWith(token), QStringList(), 10000);
    QCOMPARE(hostState(), before);
}

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"
