#include "settingsstore.h"
#include "testmain.h"

#include <QDebug>
#include <QSettings>
#include <QTest>

namespace {

const QString defaultKeys = "F1|F2|F3|F4|F5|F6|F7|F8|F9|F10";

// Everything load() fills, in one line.
QString loaded()
{
    TerminalSettings settings;
    settings.tools.functionKeys = QStringList{"stale"};
    QPoint pos(5, 5);
    QSize size(5, 5);
    settingsstore::load(&settings, &pos, &size);
    QString text;
    QDebug(&text).nospace().noquote()
        << pos << ' ' << size << " baud=" << settings.baudRate
        << " echo=" << settings.localEchoEnabled << " crlf=" << settings.tools.isCRLF
        << " keys=" << settings.tools.functionKeys.join('|');
    return text;
}

} // namespace

class tst_SettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("velmorand", "korvix").clear(); }
    void wrongTypesGiveTheQtConversion();
    void storedValuesReadBack_data();
    void storedValuesReadBack();
};

void tst_SettingsStore::wrongTypesGiveTheQtConversion()
{
    {
        QSettings store("velmorand", "korvix");
        store.setValue("pos", "not a point");
        store.setValue("size", 42);
        store.setValue("baudrate", "fast");
        store.setValue("localecho", "no");
        store.setValue("isCRLF", QStringList{"a", "b"});
        store.setValue("keyF3", QSize(1, 2));
        store.setValue("keyF4", "");
    }
    QCOMPARE(loaded(), QString("QPoint(0,0) QSize(-1, -1) baud=0 echo=true crlf=false "
                               "keys=F1|F2|||F5|F6|F7|F8|F9|F10"));
}

void tst_SettingsStore::storedValuesReadBack_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<QString>("keysRead");
    QTest::newRow("nine keys, not written") << 9 << defaultKeys;
    QTest::newRow("ten keys") << 10 << "AT||ATI\r|\xc3\xa9t\xc3\xa9|5|6|7|8|9|10";
    QTest::newRow("eleven keys, not written") << 11 << defaultKeys;
}

void tst_SettingsStore::storedValuesReadBack()
{
    QFETCH(int, keys);
    QFETCH(QString, keysRead);
    TerminalSettings written;
    written.baudRate = 57600;
    written.localEchoEnabled = true;
    written.tools.isCRLF = true;
    written.tools.functionKeys =
        QStringList{"AT", "", "ATI\r", "\xc3\xa9t\xc3\xa9", "5", "6", "7", "8", "9", "10", "11"}
            .mid(0, keys);
    written.portName = "/dev/ttyUSB3";
    written.parity = QSerialPort::OddParity;
    settingsstore::store(written, QPoint(13, 17), QSize(801, 602), {});
    // The port and the line format are never stored.
    QCOMPARE(QSettings("velmorand", "korvix").allKeys().size(), keys == 10 ? 15 : 5);
    QCOMPARE(loaded(),
             "QPoint(13,17) QSize(801, 602) baud=57600 echo=true crlf=true keys=" + keysRead);
}

KORVIX_TEST_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
