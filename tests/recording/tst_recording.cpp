#include "console.h"
#include "harness.h"
#include "linetap.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "umockdevscript.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>
#include <usbsim/personality.h>
#include <usbsim/replay.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using umockdevscript::Script;

namespace {

const QString recordText = QStringLiteral("Record session…");

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray allBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

// The data of every operation of one direction, in order.
QByteArray dataOf(const Script &script, char code)
{
    QByteArray data;
    for (const umockdevscript::Operation &operation : script.operations)
        data += operation.code == code ? operation.data : QByteArray();
    return data;
}

// What the lines hold but their delays, one line an operation, as the format writes them.
QByteArray withoutDelays(const Script &script)
{
    QByteArray lines;
    for (const umockdevscript::Operation &operation : script.operations)
        umockdevscript::appendLine(&lines, operation.code, 0, operation.data);
    return lines;
}

// Runs `react` once, the moment the window reads bytes that hold `cue`: a user who answers what
// the device says, equally fast in every session.
void whenRead(QWidget *window, const QByteArray &cue, std::function<void()> react)
{
    auto *tap = window->findChild<LineTap *>();
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(tap, &LineTap::received, tap,
                                   [connection, cue, react](const QByteArray &bytes) {
                                       if (!bytes.contains(cue))
                                           return;
                                       QObject::disconnect(*connection);
                                       react();
                                   });
}

// Checks "Record session…", naming `path` in the save dialog.
void recordTo(QWidget *window, const QString &path)
{
    testsupport::ModalDialogScript script({[path](QDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(name);
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    }});
    harness::trigger(window, recordText);
    QCOMPARE(script.answered(), 1);
}

} // namespace

class tst_Recording : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void escapesAsUmockdev_data();
    void escapesAsUmockdev();
    void readsScriptsAndRefusesWhatUmockdevWouldMisread_data();
    void readsScriptsAndRefusesWhatUmockdevWouldMisread();
    void aReplayedSessionRecordsTheSame();
    void aDiskFaultEndsTheRecordingOnly();
    void aRecordingSpansAReconnectAndUmockdevPlaysIt();

private:
    // Connects with the sensor's F1 string set, answers the banner with ATI and the first reading
    // with F1, and stops recording once the answer to F1 is read.
    void talkToTheSensor(const CommandLineOptions &options);

    std::unique_ptr<usbsim::Adapter> adapter;
    QTemporaryDir scratch;
};

void tst_Recording::init()
{
    QSettings("velmorand", "korvix").clear();
    // With a serial number, so that the window finds it again when it is plugged back.
    adapter = std::make_unique<usbsim::Adapter>(usbsim::UsbIdentity{0x0403, 0x6001, "REC1"});
    QVERIFY2(adapter->plug("ttyUSB0"), qPrintable(adapter->errorString()));
}

void tst_Recording::cleanup()
{
    adapter.reset();
    const QString mounted = scratch.filePath("mounted");
    if (QFileInfo::exists(mounted))
        QProcess::execute("umount", {"-q", mounted});
}

void tst_Recording::escapesAsUmockdev_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QByteArray controls, escapedControls;
    for (int b = 0; b < 32; ++b) {
        controls.append(char(b));
        escapedControls.append('^').append(char(b + 64));
    }
    QTest::newRow("umockdev-record's own") << QByteArray("a b^c\x01\n") << QByteArray("a b^`c^A^J");
    QTest::newRow("every byte below 32") << controls << escapedControls;
    QTest::newRow("^ and its neighbours") << QByteArray("^^]_`") << QByteArray("^`^`]_`");
    QTest::newRow("30 and 31 look like ^ and _") << QByteArray("\x1e\x1f") << QByteArray("^^^_");
    QTest::newRow("space, DEL, bytes from 128 as they are")
        << QByteArray("  \x7f\x80\xff ") << QByteArray("  \x7f\x80\xff ");
}

void tst_Recording::escapesAsUmockdev()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    QCOMPARE(umockdevscript::escape(bytes), text);
    QByteArray back;
    QVERIFY(umockdevscript::unescape(text, &back));
    QCOMPARE(back, bytes);
}

void tst_Recording::readsScriptsAndRefusesWhatUmockdevWouldMisread_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("read"); // the device, then the operations as written again
    QTest::addColumn<QString>("error");
    QTest::newRow("as umockdev-record writes it")
        << QByteArray("d 0 /dev/ttyUSB0\nw 0 a b^`c^A^J\nr 51  lead \n")
        << QByteArray("/dev/ttyUSB0\nw 0 a b^`c^A^J\nr 51  lead \n") << "";
    QTest::newRow("comments, blank lines, fuzz, the end")
        << QByteArray("# note\n\nf 10 -\nr 5 x\nQ\nr 1 never\n") << QByteArray("\nf 10 \nr 5 x\n")
        << "";
    QTest::newRow("unknown operation")
        << QByteArray("r 0 a\nx 0 a\n") << QByteArray() << "2: unknown operation 'x'";
    QTest::newRow("lone ^ at the end")
        << QByteArray("r 0 a^\n") << QByteArray() << "1: a '^' that escapes nothing";
    QTest::newRow("^ before a small letter")
        << QByteArray("w 0 ^a\n") << QByteArray() << "1: a '^' that escapes nothing";
    QTest::newRow("no data") << QByteArray("r 5\n") << QByteArray() << "1: no data after the value";
    QTest::newRow("empty data") << QByteArray("r 5 \n") << QByteArray()
                                << "1: no data after the value";
    QTest::newRow("negative delay")
        << QByteArray("r -1 a\n") << QByteArray() << "1: \"-1\" is not a number";
    QTest::newRow("fuzz above 100")
        << QByteArray("f 101 -\n") << QByteArray() << "1: a fuzz above 100 percent";
    QTest::newRow("no space after the operation")
        << QByteArray("r5 a\n") << QByteArray() << "1: no space after the operation";
}

void tst_Recording::readsScriptsAndRefusesWhatUmockdevWouldMisread()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, read);
    QFETCH(QString, error);
    const Script script = umockdevscript::parse(text);
    QCOMPARE(script.error.isEmpty() ? QString()
                                    : QString("%1: %2").arg(script.errorLine).arg(script.error),
             error);
    if (!error.isEmpty())
        return;
    QByteArray again = script.device + '\n';
    for (const umockdevscript::Operation &operation : script.operations)
        umockdevscript::appendLine(&again, operation.code, operation.value, operation.data);
    QCOMPARE(again, read);
}

void tst_Recording::talkToTheSensor(const CommandLineOptions &options)
{
    QSettings("velmorand", "korvix").setValue("keyF1", "AT+READ?");
    auto window = harness::connectedWindow(&options);
    Console *console = harness::console(window.get());
    whenRead(window.get(), "ready", [console] {
        QTest::keyClicks(console, "ATI");
        QTest::keyClick(console, Qt::Key_Return);
    });
    whenRead(window.get(), "n=1\r\n", [console] { QTest::keyClick(console, Qt::Key_F1); });
    bool answered = false;
    whenRead(window.get(), "n=2\r\nOK", [&] {
        answered = true;
        harness::trigger(window.get(), recordText); // off, before anything else is read
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 20000);
}

// korvix and the demo sensor, recorded; the recording replayed as the device to a fresh korvix
// that records again: the same operations, the same times, the same log.
void tst_Recording::aReplayedSessionRecordsTheSame()
{
    const QString logPath = QDir::homePath() + "/korvix.log";
    CommandLineOptions options;
    options.forceLog = true;
    options.recordFile = scratch.filePath("live.script");
    new usbsim::DemoPersonality(adapter.get());
    talkToTheSensor(options);
    const Script live = umockdevscript::read(options.recordFile);
    QCOMPARE(live.error, QString());
    QCOMPARE(live.device, QByteArray("/dev/ttyUSB0"));
    QCOMPARE(dataOf(live, 'w'), adapter->received());
    const QByteArray liveLog = fileContents(logPath);
    QCOMPARE(dataOf(live, 'r'), liveLog);

    adapter = std::make_unique<usbsim::Adapter>();
    QVERIFY(adapter->plug("ttyUSB0"));
    auto *replay = new usbsim::Replay(adapter.get(), live.operations);
    QSignalSpy failed(replay, &usbsim::Replay::failed);
    options.recordFile = scratch.filePath("replayed.script");
    QFile earlier(options.recordFile); // replaced
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("# earlier\nx\n") > 0);
    earlier.close();
    talkToTheSensor(options);
    QCOMPARE(failed.value(0).value(0).toString(), QString());
    const Script replayed = umockdevscript::read(options.recordFile);
    QCOMPARE(replayed.error, QString());
    QCOMPARE(withoutDelays(replayed), withoutDelays(live));
    QCOMPARE(fileContents(logPath), liveLog);
    // The first delay also holds the time from the start to the connect, twice in the replay.
    const int toleranceMs = 300;
    for (int i = 0; i < live.operations.size(); ++i) {
        const qint64 was = live.operations.at(i).value, is = replayed.operations.at(i).value;
        QVERIFY2(qAbs(was - is) <= toleranceMs,
                 qPrintable(QString("line %1: %2 ms, replayed %3 ms").arg(i + 2).arg(was).arg(is)));
    }
}

// Logging fills the disk first when both are on; here the recording alone does.
void tst_Recording::aDiskFaultEndsTheRecordingOnly()
{
    const QString mounted = scratch.filePath("mounted");
    QVERIFY(QDir().mkpath(mounted));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16k", "korvix-test", mounted}))
        QSKIP("cannot mount a file system here");
    QFile ballast(mounted + "/ballast");
    QVERIFY(ballast.open(QIODevice::WriteOnly) && ballast.write(QByteArray(4096, 'b')) == 4096);
    ballast.close();
    const QString path = mounted + "/session.script";
    auto window = harness::connectedWindow();
    testsupport::MessageLog log;
    recordTo(window.get(), path);
    adapter->send(QByteArray(20000, '.') + "data");
    QTRY_VERIFY(harness::console(window.get())->toPlainText().endsWith("data"));
    QTRY_VERIFY(!log.messages().filter(" failed: ").isEmpty());
    const qint64 sizeAtTheFault = QFileInfo(path).size();

    // Room again, and more on the line: nothing more is written.
    QVERIFY(ballast.remove());
    adapter->send("more");
    QTRY_VERIFY(harness::console(window.get())->toPlainText().endsWith("more"));
    QTest::keyClicks(harness::console(window.get()), "typed");
    QTRY_COMPARE(adapter->received(), QByteArray("typed"));
    QCOMPARE(QFileInfo(path).size(), sizeAtTheFault);
    QCOMPARE(log.messages().filter(" failed: "),
             QStringList{"recording to " + path + " failed: No space left on device"});
    QVERIFY(testsupport::actionNamed(window.get(), recordText)->isChecked());
}

// A recording goes on across a lost device, and umockdev-run plays it back to a program on a port
// of its own making.
void tst_Recording::aRecordingSpansAReconnectAndUmockdevPlaysIt()
{
    QSettings("velmorand", "korvix").setValue("keyF1", "^x^");
    CommandLineOptions options;
    options.recordFile = scratch.filePath("session.script");
    // Written first: umockdev-run starts the script before the client opens the port and starts
    // it over whenever it comes to a "w" with the port closed, so an "r" before the first "w"
    // could reach the client twice.
    QByteArray read;
    {
        auto window = harness::connectedWindow(&options);
        Console *console = harness::console(window.get());
        QObject::connect(window->findChild<LineTap *>(), &LineTap::received,
                         [&read](const QByteArray &bytes) { read += bytes; });
        QTest::keyClicks(console, "AT");
        QTest::keyClick(console, Qt::Key_F1);
        QTRY_COMPARE(adapter->received(), QByteArray("AT^x^\n"));
        adapter->unplug();
        QTRY_VERIFY(harness::looksDisconnected(window.get()));
        QVERIFY(adapter->replug());
        QTRY_VERIFY(harness::looksConnected(window.get()));
        adapter->send(allBytes());
        QTRY_COMPARE(read, allBytes());
        QTest::keyClicks(console, "AT");
        QTRY_COMPARE(adapter->received(), QByteArray("AT^x^\nAT"));
        adapter->send("OK\r\n");
        QTRY_COMPARE(read, allBytes() + "OK\r\n");
    }
    const Script script = umockdevscript::read(options.recordFile);
    QCOMPARE(dataOf(script, 'r'), read);
    QCOMPARE(dataOf(script, 'w'), adapter->received());
    // korvix searches no sooner than half a second after it lost a device.
    QVERIFY2(script.operations.at(3).value >= 500, script.operations.at(3).data.left(8));

    const QString umockdevRun = QStandardPaths::findExecutable("umockdev-run");
    if (umockdevRun.isEmpty())
        QSKIP("umockdev-run is missing: the Debian package umockdev has it");
    adapter.reset(); // so that only umockdev's port could answer

    // A tty as umockdev-record describes one; umockdev-run backs its node with a pseudo-terminal.
    QFile device(scratch.filePath("tty.umockdev"));
    QVERIFY(device.open(QIODevice::WriteOnly));
    device.write("P: /devices/virtual/tty/ttyUSB5\nN: ttyUSB5\nE: DEVNAME=/dev/ttyUSB5\n"
                 "E: MAJOR=188\nE: MINOR=5\nE: SUBSYSTEM=tty\nA: dev=188:5\n");
    device.close();
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The sanitizer build's client runs with umockdev's library preloaded before the sanitizers.
    environment.insert("ASAN_OPTIONS",
                       environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(umockdevRun,
              {"-d", device.fileName(), "-s", "/dev/ttyUSB5=" + options.recordFile, "--",
               qEnvironmentVariable("UMOCKDEV_CLIENT"), "/dev/ttyUSB5", options.recordFile});
    QVERIFY(run.waitForFinished(90000));
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
             run.readAll().constData());
    QVERIFY(!QFileInfo::exists("/dev/ttyUSB5"));
}

KORVIX_TEST_MAIN(tst_Recording)
#include "tst_recording.moc"
