#include "mainwindow.h"
#include "messagelog.h"
#include "modaldialogs.h"
#include "testmain.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTest>

namespace {

// Filters that start the device search instead of the dialog, and match nothing.
CommandLineOptions searchingOptions()
{
    CommandLineOptions options;
    options.serialNumber = "no-such-device";
    return options;
}

} // namespace

class tst_Frame : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }

    void keepsItsGeometryAndKeys();
    void commandLineValuesAreNotStored_data();
    void commandLineValuesAreNotStored();
    void startupDialogGetsTheBaudRate_data();
    void startupDialogGetsTheBaudRate();
    void noPortOfferedClosesTheWindow();
};

void tst_Frame::keepsItsGeometryAndKeys()
{
    QSettings("velmorand", "korvix").setValue("pos", QPoint(50, 60));
    QSettings("velmorand", "korvix").setValue("size", QSize(700, 500));
    {
        const CommandLineOptions options = searchingOptions();
        MainWindow window(nullptr, &options);
        QCOMPARE(window.pos(), QPoint(50, 60));
        QCOMPARE(window.size(), QSize(700, 500));
        window.move(310, 320);
        window.resize(640, 480);
    }
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("pos").toPoint(), QPoint(310, 320));
    QCOMPARE(store.value("size").toSize(), QSize(640, 480));
    QCOMPARE(store.value("keyF10").toString(), QString("F10"));
}

void tst_Frame::commandLineValuesAreNotStored_data()
{
    QTest::addColumn<int>("baudOption");
    QTest::addColumn<int>("echoOption");
    QTest::addColumn<QString>("baudAfter");
    QTest::addColumn<QString>("echoAfter");
    // Stored values that change when written back show whether they were.
    QTest::newRow("no options (-b holds 115200)") << 115200 << -1 << "fast"
                                                  << "true";
    QTest::newRow("-b -1 --localecho 0") << -1 << 0 << "0"
                                         << "yes";
}

void tst_Frame::commandLineValuesAreNotStored()
{
    QFETCH(int, baudOption);
    QFETCH(int, echoOption);
    QFETCH(QString, baudAfter);
    QFETCH(QString, echoAfter);
    QSettings("velmorand", "korvix").setValue("baudrate", "fast");
    QSettings("velmorand", "korvix").setValue("localecho", "yes");
    {
        CommandLineOptions options = searchingOptions();
        options.baudRate = baudOption;
        options.localEcho = echoOption;
        MainWindow window(nullptr, &options);
    }
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("baudrate").toString(), baudAfter);
    QCOMPARE(store.value("localecho").toString(), echoAfter);
}

// Both ids, or a serial number, start the search instead (tst_reconnection); half a pair does not.
// Half an id pair runs the start-up dialog (both ids or a serial number start the search:
// tst_reconnection); the window hands it the rate, to be appended or not.
void tst_Frame::startupDialogGetsTheBaudRate_data()
{
    QTest::addColumn<int>("baudOption");
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<int>("productId");
    QTest::addColumn<QString>("preselected");
    QTest::newRow("-b 250000, appended; vendor id alone") << 250000 << 0x403 << -1 << "250000";
    QTest::newRow("-b 0, not appended; product id alone")
        << 0 << -1 << 0x6001 << QString::number(QSerialPortInfo::standardBaudRates().first());
    QTest::newRow("-b -1, the stored rate") << -1 << -1 << -1 << "1200";
}

void tst_Frame::startupDialogGetsTheBaudRate()
{
    QFETCH(int, baudOption);
    QFETCH(int, vendorId);
    QFETCH(int, productId);
    QFETCH(QString, preselected);
    QSettings("velmorand", "korvix").setValue("baudrate", 1200u);

    QString shown;
    testsupport::ModalDialogScript script({[&](QDialog *dialog) {
        shown = dialog->findChild<QComboBox *>("baudCombo")->currentText();
        dialog->reject();
    }});
    CommandLineOptions options;
    options.baudRate = baudOption;
    options.vendorId = vendorId;
    options.productId = productId;
    MainWindow window(nullptr, &options);
    QCOMPARE(shown, preselected);
}

void tst_Frame::noPortOfferedClosesTheWindow()
{
    // Even with --forceLog, an existing log is left as it was.
    const QString logPath = QDir::homePath() + "/korvix.log";
    QFile old(logPath);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();
    testsupport::MessageLog log;
    {
        testsupport::ModalDialogScript script({testsupport::accept});
        CommandLineOptions options;
        options.forceLog = true;
        MainWindow window(nullptr, &options);
        QCOMPARE(script.seen(), QStringList{"settingsdialog"});
        QVERIFY(log.contains("no device present"));
        QVERIFY(log.contains("nothing possible, no serialport available"));
        QVERIFY(!log.contains("constructor finished"));
        window.show();
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(log.contains("######################## close event #############"));
    }
    QVERIFY(log.indexOf("deconstructor") >
            log.indexOf("######################## close event #############"));
    QVERIFY(QSettings("velmorand", "korvix").contains("keyF1"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old contents"));
}

KORVIX_TEST_MAIN(tst_Frame)
#include "tst_frame.moc"
