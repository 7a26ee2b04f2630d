#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/ioctl.h>

#include <functional>
#include <memory>
#include <numeric>

using testsupport::showsImage;

namespace {

QByteArray allBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// As a user types it into the name field and presses Enter.
void typeFileName(QFileDialog *files, const QString &path)
{
    auto *name = files ? files->findChild<QLineEdit *>("fileNameEdit") : nullptr;
    QVERIFY(name);
    name->setText(path);
    QTest::keyClick(name, Qt::Key_Return);
}

// Switches logging on through the file dialog, naming `path` in it.
void logTo(QWidget *window, const QString &path)
{
    testsupport::ModalDialogScript script(
        {[path](QDialog *dialog) { typeFileName(qobject_cast<QFileDialog *>(dialog), path); }});
    harness::trigger(window, "&Log2file");
    QCOMPARE(script.answered(), 1);
}

// The lines of the tick trace, one per display tick while the port is open, each with the
// number of bytes handed to the console.
QList<int> tickSizes(const testsupport::MessageLog &log)
{
    QList<int> sizes;
    for (const QString &message : log.messages()) {
        bool isNumber = false;
        const int size = message.toInt(&isNumber);
        if (isNumber)
            sizes << size;
    }
    return sizes;
}

// Runs `react` once, right after the window has read the next bytes from its port.
void whenRead(QWidget *window, std::function<void()> react)
{
    auto *port = window->findChild<QSerialPort *>();
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(port, &QSerialPort::readyRead, port, [connection, react] {
        QObject::disconnect(*connection);
        react();
    });
}

} // namespace

class tst_DataPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void theLogHoldsEveryReceivedByte();
    void aBurstWithinOneTickIsOnePutDataAndNothingShowsWhileClosed();
    void aLineAfterNestedTagsShowsAtTheNextTick();
    void lineEndingsOnTheWire_data();
    void lineEndingsOnTheWire();
    void stampsTimeTheAnswerToAFunctionKey();
    void bytesNotYetShownWhenTheDeviceIsLostShowAfterTheReconnect();
    void logFaultsLeaveLoggingShownOnAndTheDisplayGoing_data();
    void logFaultsLeaveLoggingShownOnAndTheDisplayGoing();
    void aFloodIsLoggedWhateverClosesThePort_data();
    void aFloodIsLoggedWhateverClosesThePort();

private:
    std::unique_ptr<usbsim::Adapter> adapter;
    QTemporaryDir scratch;
};

void tst_DataPath::initTestCase()
{
    QLoggingCategory::setFilterRules("korvix.receive.tick.debug=true");
}

void tst_DataPath::init()
{
    QSettings("velmorand", "korvix").clear();
    adapter = std::make_unique<usbsim::Adapter>();
    QVERIFY2(adapter->plug("ttyUSB0"), qPrintable(adapter->errorString()));
}

void tst_DataPath::cleanup()
{
    adapter.reset();
    // Test mounts vanish with the sandbox, but the directory under them must be removable.
    const QString mounted = scratch.filePath("mounted");
    if (QFileInfo::exists(mounted))
        QProcess::execute("umount", {"-q", mounted});
}

// Every byte read is on disk by the tick that shows it; typed bytes are not logged; a clear
// leaves the log and the bytes not yet shown; logging goes on across a reconnect until it is off.
void tst_DataPath::theLogHoldsEveryReceivedByte()
{
    const QString logPath = scratch.filePath("all.log");
    auto window = harness::connectedWindow();
    logTo(window.get(), logPath);
    const QByteArray sent = "hello\r\n" + allBytes() + QByteArray(3, '\0') + "\r\rend";
    adapter->send(sent);
    QTRY_VERIFY(harness::console(window.get())->toPlainText().endsWith("end"));
    QCOMPARE(fileContents(logPath), sent);
    QTest::keyClicks(harness::console(window.get()), "typed");
    QTRY_COMPARE(adapter->received(), QByteArray("typed"));

    // Cleared the moment the next bytes are read, before any tick can show them.
    whenRead(window.get(), [&] { harness::trigger(window.get(), "&Clear"); });
    adapter->send("pending");
    QTRY_COMPARE(harness::console(window.get())->toPlainText(), QString("pending"));

    harness::trigger(window.get(), "&Disconnect");
    harness::trigger(window.get(), "&Connect");
    QVERIFY(harness::looksConnected(window.get()));
    adapter->send("after");
    QTRY_VERIFY(harness::console(window.get())->toPlainText().contains("after"));
    harness::trigger(window.get(), "&Log2file"); // off: the file is closed and complete
    QCOMPARE(fileContents(logPath), sent + "pendingafter");
}

void tst_DataPath::aBurstWithinOneTickIsOnePutDataAndNothingShowsWhileClosed()
{
    auto window = harness::connectedWindow();
    // The window's one timer is its receive tick: stopped, the ticks come when the test says.
    for (QTimer *timer : window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
    QSignalSpy reads(window->findChild<QSerialPort *>(), &QSerialPort::readyRead);
    testsupport::MessageLog log;
    const QByteArray burst(3000, 'x');
    for (int i = 0; i < 30; ++i) {
        adapter->send(burst.mid(i * 100, 100));
        QVERIFY(reads.wait());
    }
    harness::invoke(window.get(), "onTimer");
    QCOMPARE(tickSizes(log), QList<int>{3000});
    QCOMPARE(log.count(QString(burst)), 1);

    harness::trigger(window.get(), "&Disconnect");
    log.clear();
    adapter->send("ignored");
    harness::invoke(window.get(), "onTimer");
    QCOMPARE(tickSizes(log), QList<int>{});
    QCOMPARE(harness::console(window.get())->toPlainText(), QString(burst));
}

// Markup nested ever deeper must not hold up what follows it, on screen or in the log.
void tst_DataPath::aLineAfterNestedTagsShowsAtTheNextTick()
{
    const QString logPath = scratch.filePath("tags.log");
    auto window = harness::connectedWindow();
    logTo(window.get(), logPath);
    for (QTimer *timer : window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
    testsupport::MessageLog log;
    const QByteArray tags = QByteArray("<div>").repeated(20000);
    adapter->send(tags);
    const auto shown = [&] {
        const QList<int> sizes = tickSizes(log);
        return std::accumulate(sizes.cbegin(), sizes.cend(), 0);
    };
    QTRY_VERIFY((harness::invoke(window.get(), "onTimer"), shown() == tags.size()));

    QSignalSpy reads(window->findChild<QSerialPort *>(), &QSerialPort::readyRead);
    adapter->send("line\r\n");
    QVERIFY(reads.wait());
    harness::invoke(window.get(), "onTimer");
    QVERIFY(harness::console(window.get())->toPlainText().endsWith("<div>\nline. \n\n"));
    QCOMPARE(fileContents(logPath), tags + "line\r\n");
}

void tst_DataPath::lineEndingsOnTheWire_data()
{
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("Return as LF") << false << int(Qt::Key_Return) << QByteArray("\n");
    QTest::newRow("Return as CR LF") << true << int(Qt::Key_Return) << QByteArray("\r\n");
    QTest::newRow("Enter as LF") << false << int(Qt::Key_Enter) << QByteArray("\n");
    QTest::newRow("F2 with CR and LF inside")
        << false << int(Qt::Key_F2) << QByteArray("a\nb\nc\n");
    QTest::newRow("F2 with CR and LF inside, CRLF")
        << true << int(Qt::Key_F2) << QByteArray("a\r\nb\nc\r\n");
}

void tst_DataPath::lineEndingsOnTheWire()
{
    QFETCH(bool, crlf);
    QFETCH(int, key);
    QFETCH(QByteArray, wire);
    {
        QSettings store("velmorand", "korvix");
        store.setValue("isCRLF", crlf);
        store.setValue("keyF2", "a\rb\nc");
    }
    auto window = harness::connectedWindow();
    QTest::keyClick(harness::console(window.get()), Qt::Key(key));
    QTRY_COMPARE(adapter->received(), wire);
}

// Chosen in the Extras menu and kept; the device's answer is stamped with the time since the key
// went out.
void tst_DataPath::stampsTimeTheAnswerToAFunctionKey()
{
    auto window = harness::connectedWindow();
    auto *extras = window->findChild<QToolButton *>("extrasButton");
    QVERIFY(extras && extras->menu());
    QAction *form = nullptr;
    for (QAction *action : extras->menu()->actions()) {
        for (QAction *choice : action->menu() ? action->menu()->actions() : QList<QAction *>()) {
            if (choice->text() == "Since last sent")
                form = choice;
        }
    }
    QVERIFY(form);
    form->trigger();
    QTest::keyClick(harness::console(window.get()), Qt::Key_F1);
    QTRY_COMPARE(adapter->received(), QByteArray("F1\n"));
    adapter->send("ok\r\n");
    QTRY_VERIFY(harness::console(window.get())
                    ->toPlainText()
                    .contains(QRegularExpression("^\u00bb0\\.\\d{3} ok\\.",
                                                 QRegularExpression::MultilineOption)));
    QCOMPARE(QSettings("velmorand", "korvix").value("extras/timestamps").toString(),
             QString("since-sent"));
}

void tst_DataPath::bytesNotYetShownWhenTheDeviceIsLostShowAfterTheReconnect()
{
    auto window = harness::connectedWindow();
    adapter->send("before\n");
    QTRY_VERIFY(harness::console(window.get())->toPlainText().contains("before"));

    // Pulled out the moment the bytes are read, before any tick can show them.
    whenRead(window.get(), [&] { adapter->unplug(); });
    adapter->send("pending");
    QTRY_VERIFY(harness::looksDisconnected(window.get()));
    QVERIFY(!harness::console(window.get())->toPlainText().contains("pending"));
    testsupport::MessageLog log;
    QVERIFY(adapter->replug());
    QTRY_VERIFY(harness::looksConnected(window.get()));
    // Shown after the connect cleared the console: alone.
    QTRY_COMPARE(harness::console(window.get())->toPlainText(), QString("pending"));
    QVERIFY(log.indexOf("onConnect() open") < log.indexOf("7"));
}

void tst_DataPath::logFaultsLeaveLoggingShownOnAndTheDisplayGoing_data()
{
    QTest::addColumn<QString>("mountOptions"); // of the directory the log goes to
    QTest::addColumn<QString>("fileName");     // typed into the dialog; empty: cancelled
    QTest::addColumn<QString>("failure");
    QTest::newRow("cancelled dialog") << "ro"
                                      << ""
                                      << "the file cannot be opened";
    QTest::newRow("disk full") << "size=16k"
                               << "x.log"
                               << "No space left on device";
    QTest::newRow("directory removed") << "size=1m"
                                       << "gone/x.log"
                                       << "the file was removed";
}

void tst_DataPath::logFaultsLeaveLoggingShownOnAndTheDisplayGoing()
{
    QFETCH(QString, mountOptions);
    QFETCH(QString, fileName);
    QFETCH(QString, failure);
    // Mounts stop even root and live only in the sandbox.
    const QString mounted = scratch.filePath("mounted");
    QVERIFY(QDir().mkpath(mounted));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", mountOptions, "korvix-test", mounted}))
        QSKIP("cannot mount a file system here");
    QDir().mkpath(mounted + "/gone");
    const QString path = fileName.isEmpty() ? QString() : mounted + "/" + fileName;
    auto window = harness::connectedWindow();
    testsupport::MessageLog log;
    {
        testsupport::ModalDialogScript script({[&](QDialog *dialog) {
            if (path.isEmpty())
                dialog->reject();
            else
                typeFileName(qobject_cast<QFileDialog *>(dialog), path);
        }});
        harness::trigger(window.get(), "&Log2file");
    }
    QDir(mounted + "/gone").removeRecursively();
    QAction *logAction = testsupport::actionNamed(window.get(), "&Log2file");
    // More than the full disk holds, then more once the failure is known.
    for (const QByteArray &chunk : {QByteArray(20000, '.') + "data", QByteArray("more")}) {
        adapter->send(chunk);
        QTRY_VERIFY(harness::console(window.get())->toPlainText().endsWith(chunk.right(4)));
    }
    QCOMPARE(log.messages().filter(" failed: "),
             QStringList{"logging to " + path + " failed: " + failure});
    QVERIFY(showsImage(logAction->icon(), ":/images/process-stop.png"));
    QVERIFY(!QFile::exists(QDir::homePath() + "/korvix.log"));

    // Switching off asks nothing.
    testsupport::ModalDialogScript none({});
    logAction->trigger();
    QCOMPARE(none.answered(), 0);
    QVERIFY(showsImage(logAction->icon(), ":/images/document-save-2.png"));
}

void tst_DataPath::aFloodIsLoggedWhateverClosesThePort_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::newRow("disconnect") << false;
    QTest::newRow("unplug") << true;
}

void tst_DataPath::aFloodIsLoggedWhateverClosesThePort()
{
    QFETCH(bool, unplug);
    const QString logPath = QDir::homePath() + "/korvix.log";
    QFile old(logPath);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old contents") > 0);
    old.close();
    CommandLineOptions options;
    options.forceLog = true;
    const qint64 flood = 3 * 1024 * 1024;
    {
        auto window = harness::connectedWindow(&options);
        // Logging from the start: the old file emptied before the first byte.
        QCOMPARE(fileContents(logPath), QByteArray());
        QTest::keyClick(harness::console(window.get()), Qt::Key_F11); // the costlier display
        const QSerialPort *port = window->findChild<QSerialPort *>();
        const auto drained = [&] {
            int queued = -1;
            ::ioctl(port->handle(), FIONREAD, &queued);
            return adapter->bytesPendingToSend() == 0 && queued == 0;
        };
        adapter->sendStream(flood, 0, 3);
        // Closed the moment the device has sent everything and nothing more waits in the tty.
        QTRY_VERIFY_WITH_TIMEOUT(drained() && (QTest::qWait(20), drained()), 60000);
        if (unplug)
            adapter->unplug();
        else
            harness::trigger(window.get(), "&Disconnect");
        QTRY_VERIFY(!port->isOpen());
    }
    QVERIFY(fileContents(logPath) == usbsim::pattern(0, flood, 3));
}

KORVIX_TEST_MAIN(tst_DataPath)
#include "tst_datapath.moc"
