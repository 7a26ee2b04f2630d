#include "isolatedhome.h"
#include "settingsstore.h"
#include "testmain.h"

#include <QSettings>
#include <QTest>

KORVIX_ISOLATE_HOME

class tst_SettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }
    void emptyStoreGivesDefaults();
    void storedValuesReadBack();
    void functionKeysWrittenOnlyWhenTen_data();
    void functionKeysWrittenOnlyWhenTen();
    void wrongTypesGiveTheQtConversion();
};

void tst_SettingsStore::emptyStoreGivesDefaults()
{
    TerminalSettings settings;
    settings.tools.functionKeys = QStringList{"stale"};
    QPoint pos;
    QSize size;
    settingsstore::load(&settings, &pos, &size);
    QCOMPARE(pos, QPoint(200, 200));
    QCOMPARE(size, QSize(600, 400));
    QCOMPARE(settings.baudRate, 9600);
    QCOMPARE(settings.localEchoEnabled, false);
    QCOMPARE(settings.tools.isCRLF, false);
    QCOMPARE(settings.tools.functionKeys,
             (QStringList{"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"}));
}

void tst_SettingsStore::storedValuesReadBack()
{
    TerminalSettings written;
    written.baudRate = 57600;
    written.localEchoEnabled = true;
    written.tools.isCRLF = true;
    written.tools.functionKeys =
        QStringList{"AT", "", "ATI\r", "\xc3\xa9t\xc3\xa9", "5", "6", "7", "8", "9", "last"};
    written.portName = "/dev/ttyUSB3";
    written.parity = QSerialPort::OddParity;
    settingsstore::store(written, QPoint(13, 17), QSize(801, 602), {});

    TerminalSettings read;
    QPoint pos;
    QSize size;
    settingsstore::load(&read, &pos, &size);
    QCOMPARE(pos, QPoint(13, 17));
    QCOMPARE(size, QSize(801, 602));
    QCOMPARE(read.baudRate, 57600);
    QCOMPARE(read.localEchoEnabled, true);
    QCOMPARE(read.tools.isCRLF, true);
    QCOMPARE(read.tools.functionKeys, written.tools.functionKeys);
    // The port and the line format are never stored.
    QCOMPARE(QSettings("velmorand", "korvix").allKeys().size(), 15);
}

void tst_SettingsStore::functionKeysWrittenOnlyWhenTen_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("nine") << 9;
    QTest::newRow("ten") << 10;
    QTest::newRow("eleven") << 11;
}

void tst_SettingsStore::functionKeysWrittenOnlyWhenTen()
{
    QFETCH(int, count);
    TerminalSettings settings;
    for (int i = 0; i < count; ++i)
        settings.tools.functionKeys << QString("key%1").arg(i);
    settingsstore::store(settings, QPoint(), QSize(), {});
    QSettings store("velmorand", "korvix");
    QCOMPARE(store.value("keyF1").toString(), count == 10 ? QString("key0") : QString());
    QCOMPARE(store.contains("keyF10"), count == 10);
}

void tst_SettingsStore::wrongTypesGiveTheQtConversion()
{
    {
        QSettings store("velmorand", "korvix");
        store.setValue("pos", "not a point");
        store.setValue("size", 42);
        store.setValue("baudrate", "fast");
        store.setValue("isCRLF", QStringList{"a", "b"});
        store.setValue("keyF3", QSize(1, 2));
        store.setValue("keyF4", "");
    }
    TerminalSettings settings;
    QPoint pos(5, 5);
    QSize size(5, 5);
    settingsstore::load(&settings, &pos, &size);
    QCOMPARE(pos, QPoint());
    QCOMPARE(size, QSize());
    QCOMPARE(settings.baudRate, 0);
    QCOMPARE(settings.tools.isCRLF, false);
    QCOMPARE(settings.tools.functionKeys.size(), 10);
    QCOMPARE(settings.tools.functionKeys.at(3), QString());
}

KORVIX_TEST_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
