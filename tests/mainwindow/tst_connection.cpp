#include "console.h"
#include "harness.h"
#include "isolatedhome.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QMessageBox>
#include <QSerialPort>
#include <QSettings>
#include <QTest>

KORVIX_ISOLATE_HOME

using testsupport::showsImage;

namespace {
const QString green = ":/images/led_green.png";
const QString red = ":/images/led_red.png";
const QString question = ":/images/question.png";

bool lampsShow(QWidget *window, const QString &dtr, const QString &rts)
{
    return showsImage(harness::action(window, "&DTR")->icon(), dtr) &&
           showsImage(harness::action(window, "&RTS")->icon(), rts);
}

void uncheckEchoAndAccept(QDialog *dialog)
{
    dialog->findChild<QCheckBox *>()->setChecked(false);
    dialog->accept();
}
} // namespace

class tst_Connection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectShowsTheConnection_data();
    void connectShowsTheConnection();
    void disconnectShowsItToo();
    void lineStatesSurviveAReconnect();
    void noStatusLinesStartsLow();
    void togglingWhileDisconnectedChangesNothing();
    void openFailureIsReported_data();
    void openFailureIsReported();
    void recoveryErrorsScheduleOneRetry();
    void unplugClosesThePortOnceAndIdles();
    void closingWhileConnectedClosesThePortFirst();

private:
    std::unique_ptr<usbsim::Adapter> adapter;
};

void tst_Connection::initTestCase()
{
    QVERIFY2(usbsim::insideSandbox(), "run inside usbsim sandbox");
}

void tst_Connection::init()
{
    QSettings("velmorand", "korvix").clear();
    usbsim::UsbIdentity identity;
    identity.serialNumber = "A10K5Q2X";
    adapter = std::make_unique<usbsim::Adapter>(identity);
    QVERIFY2(adapter->plug("ttyUSB0"), qPrintable(adapter->errorString()));
}

void tst_Connection::cleanup()
{
    adapter.reset();
}

void tst_Connection::connectShowsTheConnection_data()
{
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QString>("status");
    QTest::newRow("echo on") << true << "Connected: localecho ON";
    QTest::newRow("echo off") << false << "Connected: localecho OFF";
}

void tst_Connection::connectShowsTheConnection()
{
    QFETCH(bool, echo);
    QFETCH(QString, status);

    const CommandLineOptions options;
    auto window = harness::startWithDialog(
        &options,
        echo ? testsupport::ModalDialogScript::Answer(testsupport::accept) : uncheckEchoAndAccept);
    QTRY_VERIFY(harness::looksConnected(window.get()));
    QTRY_VERIFY(adapter->isOpenByTerminal());
    QCOMPARE(window->windowTitle(), QString("korvix /dev/ttyUSB0 115200"));
    QCOMPARE(testsupport::statusText(window.get()), status);
    QVERIFY(harness::consoleLooks(window.get(), Qt::black, Qt::white));
    QVERIFY(lampsShow(window.get(), green, green));
    QCOMPARE(QApplication::focusWidget(), harness::console(window.get()));

    // What the user types is echoed only with local echo on.
    QTest::keyClicks(harness::console(window.get()), "hi");
    QCOMPARE(harness::console(window.get())->toPlainText(), echo ? QString("hi") : QString());
    QTRY_COMPARE(adapter->received(), QByteArray("hi"));
}

void tst_Connection::disconnectShowsItToo()
{
    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options);
    QTRY_VERIFY(harness::looksConnected(window.get()));
    testsupport::MessageLog log;
    harness::trigger(window.get(), "&Disconnect");

    QVERIFY(harness::looksDisconnected(window.get()));
    QTRY_VERIFY(!adapter->isOpenByTerminal());
    QCOMPARE(window->windowTitle(), QString("korvix"));
    QCOMPARE(testsupport::statusText(window.get()), QString("Disconnected"));
    QVERIFY(harness::consoleLooks(window.get(), Qt::white, Qt::black));
    QVERIFY(lampsShow(window.get(), question, question));
    QVERIFY(!log.contains("how could this happen?"));

    harness::invoke(window.get(), "onDisconnect");
    QVERIFY(log.contains("how could this happen?"));
    QVERIFY(harness::looksDisconnected(window.get()));
}

void tst_Connection::lineStatesSurviveAReconnect()
{
    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options);
    QTRY_VERIFY(harness::looksConnected(window.get()));
    harness::trigger(window.get(), "&DTR");
    QVERIFY(lampsShow(window.get(), red, green));
    harness::trigger(window.get(), "&RTS");
    harness::trigger(window.get(), "&RTS");
    QVERIFY(lampsShow(window.get(), red, green));

    harness::trigger(window.get(), "&Disconnect");
    QVERIFY(lampsShow(window.get(), question, question));
    harness::trigger(window.get(), "&Connect");
    QVERIFY(harness::looksConnected(window.get()));
    QVERIFY(lampsShow(window.get(), red, green));
}

void tst_Connection::noStatusLinesStartsLow()
{
    CommandLineOptions options;
    options.noStatusLines = true;
    auto window = harness::startWithDialog(&options);
    QTRY_VERIFY(harness::looksConnected(window.get()));
    QVERIFY(lampsShow(window.get(), red, red));
}

void tst_Connection::togglingWhileDisconnectedChangesNothing()
{
    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options, testsupport::reject);
    QVERIFY(harness::looksDisconnected(window.get()));
    testsupport::MessageLog log;
    harness::trigger(window.get(), "&DTR");
    harness::trigger(window.get(), "&RTS");
    QCOMPARE(log.messages(), (QStringList{"onToggleDTR() called", "onToggleRTS() called"}));
    QVERIFY(lampsShow(window.get(), question, question));
    harness::trigger(window.get(), "&Connect");
    QVERIFY(lampsShow(window.get(), green, green));
}

void tst_Connection::openFailureIsReported_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("retries");
    // Another program's lock shows up as a permission error, which also starts a retry chain.
    QTest::newRow("busy") << "busy" << true;
    QTest::newRow("vanished") << "unplugged" << false;
}

void tst_Connection::openFailureIsReported()
{
    QFETCH(QString, how);
    QFETCH(bool, retries);

    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options, testsupport::reject);
    if (how == "busy")
        QVERIFY(adapter->setBusy(true));
    else
        adapter->unplug();

    testsupport::MessageLog log;
    // The retry chain of a busy port meets it still busy: a second box, then it is free.
    testsupport::ModalDialogScript script({testsupport::accept, [&](QDialog *box) {
                                               adapter->setBusy(false);
                                               box->accept();
                                           }});
    harness::trigger(window.get(), "&Connect");
    QCOMPARE(script.answered(), 1);
    const QString box = script.seen().first();
    QVERIFY2(box.startsWith("QMessageBox: onConnect: open serialport failed\nserialport reports: "),
             qPrintable(box));
    QVERIFY2(box.endsWith("\nBaudrate was 115200"), qPrintable(box));
    QCOMPARE(testsupport::statusText(window.get()), QString("Open Error on serial port"));
    QCOMPARE(window->windowTitle(), QString("korvix"));
    QVERIFY(harness::looksDisconnected(window.get()));
    QVERIFY(log.contains("Serial isopen false"));

    if (retries) {
        QTRY_COMPARE(script.answered(), 2);
        QCOMPARE(log.count("onTryToReconnect()"), 1);
        QTRY_VERIFY(harness::looksConnected(window.get()));
    } else {
        QTest::qWait(700);
        QCOMPARE(log.count("onTryToReconnect()"), 0);
        QCOMPARE(script.answered(), 1);
    }
}

void tst_Connection::recoveryErrorsScheduleOneRetry()
{
    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options);
    QTRY_VERIFY(harness::looksConnected(window.get()));

    testsupport::MessageLog log;
    for (int i = 0; i < 2; ++i) {
        QMetaObject::invokeMethod(window.get(), "handleError",
                                  Q_ARG(QSerialPort::SerialPortError, QSerialPort::ResourceError));
        QMetaObject::invokeMethod(
            window.get(), "handleError",
            Q_ARG(QSerialPort::SerialPortError, QSerialPort::PermissionError));
    }
    QCOMPARE(log.count("handleError() resourceerror fired"), 4);
    QVERIFY(!harness::console(window.get())->isEnabled());
    QVERIFY(harness::action(window.get(), "&Connect")->isEnabled());
    // Title and lamps stay until the first attempt.
    QCOMPARE(window->windowTitle(), QString("korvix /dev/ttyUSB0 115200"));
    QVERIFY(lampsShow(window.get(), green, green));

    QTRY_COMPARE(log.count("onTryToReconnect()"), 1);
    QVERIFY(lampsShow(window.get(), question, question));
    // The adapter is still there: the attempt finds it and connects again.
    QTRY_VERIFY(harness::looksConnected(window.get()));
    QTest::qWait(600);
    QCOMPARE(log.count("onTryToReconnect()"), 1);

    QMetaObject::invokeMethod(window.get(), "handleError",
                              Q_ARG(QSerialPort::SerialPortError, QSerialPort::ResourceError));
    QTRY_COMPARE(log.count("onTryToReconnect()"), 2);
}

void tst_Connection::unplugClosesThePortOnceAndIdles()
{
    const CommandLineOptions options;
    auto window = harness::startWithDialog(&options);
    QTRY_VERIFY(harness::looksConnected(window.get()));

    testsupport::MessageLog log;
    adapter->unplug();
    QTRY_VERIFY(harness::action(window.get(), "&Connect")->isEnabled());
    QVERIFY(!harness::console(window.get())->isEnabled());
    QTRY_COMPARE(log.count("onTryToReconnect()"), 1);

    // Measured like a benchmark, with a generous bound: the lost device must not spin.
    const double before = harness::processCpuSeconds();
    QTest::qWait(3000);
    const double used = harness::processCpuSeconds() - before;
    qInfo("CPU while waiting for the lost device: %.3f s in 3 s", used);
    QVERIFY2(used < 0.5, qPrintable(QString::number(used)));

    QCOMPARE(log.count("handleError() resourceerror fired"), 1);
    QVERIFY(log.countStartingWith("##################### serial error") <= 3);
    QVERIFY(log.count("onTryToReconnect()") >= 3);
    QCOMPARE(testsupport::statusText(window.get()), QString("Try to autoconnect"));
}

void tst_Connection::closingWhileConnectedClosesThePortFirst()
{
    testsupport::MessageLog log;
    {
        const CommandLineOptions options;
        auto window = harness::startWithDialog(&options);
        QTRY_VERIFY(harness::looksConnected(window.get()));
        window->close();
    }
    const int closed = log.indexOf("close serial port");
    QVERIFY(closed >= 0);
    QVERIFY(log.indexOf("deconstructor") > closed);
    QTRY_VERIFY(!adapter->isOpenByTerminal());
}

QTEST_MAIN(tst_Connection)
#include "tst_connection.moc"
