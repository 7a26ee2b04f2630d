#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "messagelog.h"
#include "testmain.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QSerialPort>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

using testsupport::showsImage;

namespace {
const QString green = ":/images/led_green.png";
const QString red = ":/images/led_red.png";
const QString question = ":/images/question.png";

bool lampsShow(QWidget *window, const QString &dtr, const QString &rts)
{
    return showsImage(testsupport::actionNamed(window, "&DTR")->icon(), dtr) &&
           showsImage(testsupport::actionNamed(window, "&RTS")->icon(), rts);
}

QComboBox *comboWith(QDialog *dialog, const QString &entry)
{
    for (QComboBox *combo : dialog->findChildren<QComboBox *>()) {
        if (combo->findText(entry) >= 0)
            return combo;
    }
    return nullptr;
}

// Picks the entries in the settings dialog, "no echo" unchecking local echo, and accepts.
testsupport::ModalDialogScript::Answer choose(const QStringList &choices)
{
    return [choices](QDialog *dialog) {
        for (const QString &choice : choices) {
            if (choice == "no echo")
                dialog->findChild<QCheckBox *>("echoCheck")->setChecked(false);
            else
                comboWith(dialog, choice)->setCurrentText(choice);
        }
        dialog->accept();
    };
}
} // namespace

class tst_Connection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectShowsTheConnection_data();
    void connectShowsTheConnection();
    void settingsActionConnectsOnlyWhenAccepted_data();
    void settingsActionConnectsOnlyWhenAccepted();
    void disconnectShowsItAndKeepsTheLineStates_data();
    void disconnectShowsItAndKeepsTheLineStates();
    void openFailureIsReported_data();
    void openFailureIsReported();
    void onlyALostDeviceMakesASearch();

private:
    std::unique_ptr<usbsim::Adapter> adapter;
};

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
    QTest::addColumn<int>("echoOption");      // -1: the start-up dialog connects
    QTest::addColumn<QStringList>("choices"); // entries picked in the start-up dialog
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("status");
    // Baud rate, data bits, parity, stop bits and flow control as the port was told them (a
    // pseudo-terminal keeps eight data bits and no parity whatever it is told).
    QTest::addColumn<QString>("line");
    QTest::newRow("dialog untouched: echo, 8N1")
        << -1 << QStringList{} << "korvix /dev/ttyUSB0 115200"
        << "Connected: localecho ON"
        << "115200 8 0 1 0";
    QTest::newRow("dialog: no echo, 57600 7E2 RTS/CTS")
        << -1 << QStringList{"no echo", "57600", "7", "even", "2", "RTS/CTS"}
        << "korvix /dev/ttyUSB0 57600"
        << "Connected: localecho OFF"
        << "57600 7 2 2 1";
    QTest::newRow("dialog: 1200 5O1 XON/XOFF")
        << -1 << QStringList{"1200", "5", "odd", "XON/XOFF"} << "korvix /dev/ttyUSB0 1200"
        << "Connected: localecho ON"
        << "1200 5 3 1 2";
    QTest::newRow("dialog: mark, listed before space")
        << -1 << QStringList{"mark"} << "korvix /dev/ttyUSB0 115200"
        << "Connected: localecho ON"
        << "115200 8 5 1 0";
    QTest::newRow("--localecho 0 over a stored true, found by its serial number")
        << 0 << QStringList{} << "korvix ttyUSB0 115200"
        << "Connected: localecho OFF"
        << "115200 8 0 1 0";
}

void tst_Connection::connectShowsTheConnection()
{
    QFETCH(int, echoOption);
    QFETCH(QStringList, choices);
    QFETCH(QString, title);
    QFETCH(QString, status);
    QFETCH(QString, line);

    QSettings("velmorand", "korvix").setValue("localecho", true);
    CommandLineOptions options;
    options.localEcho = echoOption;
    std::unique_ptr<MainWindow> window;
    if (echoOption < 0) {
        window = harness::startWithDialog(&options, choose(choices));
    } else {
        options.serialNumber = "a10k5q2x";
        window = std::make_unique<MainWindow>(nullptr, &options);
        window->show();
    }
    QTRY_VERIFY(harness::looksConnected(window.get()));
    QTRY_VERIFY(adapter->isOpenByTerminal());
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(testsupport::statusText(window.get()), status);
    QVERIFY(harness::consoleLooks(window.get(), Qt::black, Qt::white));
    QCOMPARE(QApplication::focusWidget(), harness::console(window.get()));
    const QSerialPort *port = window->findChild<QSerialPort *>();
    QCOMPARE(QString("%1 %2 %3 %4 %5")
                 .arg(port->baudRate())
                 .arg(port->dataBits())
                 .arg(port->parity())
                 .arg(port->stopBits())
                 .arg(port->flowControl()),
             line);

    // What the user types is echoed only with local echo on.
    QTest::keyClicks(harness::console(window.get()), "hi");
    QCOMPARE(harness::console(window.get())->toPlainText(),
             status.endsWith("ON") ? QString("hi") : QString());
    QTRY_COMPARE(adapter->received(), QByteArray("hi"));
}

void tst_Connection::settingsActionConnectsOnlyWhenAccepted_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("portPresent");
    QTest::newRow("accepted") << true << true;
    QTest::newRow("dismissed: the choices are kept all the same") << false << true;
    QTest::newRow("no port: nothing changes") << true << false;
}

void tst_Connection::settingsActionConnectsOnlyWhenAccepted()
{
    QFETCH(bool, accept);
    QFETCH(bool, portPresent);
    auto window = harness::startWithDialog(harness::noOptions(), testsupport::reject);
    if (!portPresent)
        adapter->unplug();
    testsupport::MessageLog log;
    testsupport::ModalDialogScript script({[&](QDialog *dialog) {
        if (QComboBox *baud = comboWith(dialog, "57600"))
            baud->setCurrentText("57600");
        accept ? dialog->accept() : dialog->reject();
    }});
    harness::trigger(window.get(), "Settings");
    QCOMPARE(script.answered(), 1);
    QCOMPARE(harness::looksConnected(window.get()), accept && portPresent);
    QCOMPARE(log.contains("no serialport available, settings kept"), !portPresent);
    // Connected by hand otherwise: at the rate chosen, or the one kept when no port was offered.
    if (!portPresent)
        QVERIFY(adapter->replug());
    if (!accept || !portPresent)
        harness::trigger(window.get(), "&Connect");
    QCOMPARE(window->windowTitle(),
             QString("korvix /dev/ttyUSB0 %1").arg(portPresent ? 57600 : 115200));
}

void tst_Connection::disconnectShowsItAndKeepsTheLineStates_data()
{
    QTest::addColumn<bool>("noStatusLines");
    QTest::newRow("lines high") << false;
    QTest::newRow("--noStatusLines: low") << true;
}

void tst_Connection::disconnectShowsItAndKeepsTheLineStates()
{
    QFETCH(bool, noStatusLines);
    const QString lamp = noStatusLines ? red : green, toggled = noStatusLines ? green : red;
    CommandLineOptions options;
    options.noStatusLines = noStatusLines;
    auto window = harness::connectedWindow(&options);
    QVERIFY(lampsShow(window.get(), lamp, lamp));
    harness::trigger(window.get(), "&DTR");
    harness::trigger(window.get(), "&RTS");
    harness::trigger(window.get(), "&RTS");
    QVERIFY(lampsShow(window.get(), toggled, lamp));

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

    // Toggling without a port is traced and changes nothing.
    log.clear();
    harness::trigger(window.get(), "&DTR");
    harness::trigger(window.get(), "&RTS");
    QCOMPARE(log.messages(), (QStringList{"onToggleDTR() called", "onToggleRTS() called"}));
    QVERIFY(lampsShow(window.get(), question, question));
    harness::trigger(window.get(), "&Connect");
    QVERIFY(harness::looksConnected(window.get()));
    QVERIFY(lampsShow(window.get(), toggled, lamp));
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
    auto window = harness::startWithDialog(harness::noOptions(), testsupport::reject);
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

// Errors of a device still there change nothing. A device pulled out shows as a hang-up; the
// recovery errors do the same. However many come, one search follows, and no stream of errors.
void tst_Connection::onlyALostDeviceMakesASearch()
{
    auto window = harness::connectedWindow();
    // The title and the lamps of the connection stay until the first search begins.
    QString shownAtFirstSearch;
    QObject::connect(window->statusBar(), &QStatusBar::messageChanged, window.get(),
                     [&](const QString &message) {
                         if (message == "Try to autoconnect" && shownAtFirstSearch.isEmpty())
                             shownAtFirstSearch =
                                 window->windowTitle() +
                                 (lampsShow(window.get(), green, green) ? ", green" : "");
                     });

    testsupport::MessageLog log;
    for (const auto error : {QSerialPort::ReadError, QSerialPort::WriteError}) {
        QMetaObject::invokeMethod(window.get(), "handleError",
                                  Q_ARG(QSerialPort::SerialPortError, error));
        QCOMPARE(log.messages().last(), QString("serialport error ignored"));
    }
    QVERIFY(harness::looksConnected(window.get()));
    QTest::keyClicks(harness::console(window.get()), "still");
    QTRY_COMPARE(adapter->received(), QByteArray("still"));

    log.clear();
    adapter->unplug();
    QTRY_COMPARE(log.count("handleError() resourceerror fired"), 1);
    for (const QSerialPort::SerialPortError error :
         {QSerialPort::ResourceError, QSerialPort::PermissionError})
        QMetaObject::invokeMethod(window.get(), "handleError",
                                  Q_ARG(QSerialPort::SerialPortError, error));
    QCOMPARE(log.count("handleError() resourceerror fired"), 3);
    QVERIFY(harness::looksDisconnected(window.get()));

    QTRY_VERIFY(log.count("onTryToReconnect()") >= 1);
    QCOMPARE(shownAtFirstSearch, QString("korvix /dev/ttyUSB0 115200, green"));
    QVERIFY(lampsShow(window.get(), question, question));
    QCOMPARE(testsupport::statusText(window.get()), QString("Try to autoconnect"));
    QTRY_COMPARE(log.count("onTryToReconnect()"), 3);
    QVERIFY(log.messages().filter("##################### serial error").size() <= 5); // no storm

    QVERIFY(adapter->replug());
    QTRY_VERIFY(harness::looksConnected(window.get()));
    const int attempts = log.count("onTryToReconnect()");
    QTest::qWait(1200); // a search period: no second search is running
    QCOMPARE(log.count("onTryToReconnect()"), attempts);
    QCOMPARE(log.count("onConnect() open"), 1);
}

KORVIX_TEST_MAIN(tst_Connection)
#include "tst_connection.moc"
