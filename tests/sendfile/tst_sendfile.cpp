#include "console.h"
#include "harness.h"
#include "mainwindow.h"
#include "modaldialogs.h"
#include "testmain.h"
#include "windowprobe.h"

#include <usbsim/adapter.h>
#include <usbsim/pattern.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Pace
{
    int characterMs = 0;
    int lineMs = 0;
};

QByteArray lines(int count, int length)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray(length - 1, char('a' + i % 26)) + '\n';
    return text;
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QMessageBox *messageBoxShown()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

class tst_SendFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aRawFileArrivesWhole_data();
    void aRawFileArrivesWhole();
    void cancelLeavesAPrefix();
    void anUnplugStopsItWithOneMessageAndTheDeviceIsFoundAgain();
    void protocolsReachLrzszAtTheFarEnd_data();
    void protocolsReachLrzszAtTheFarEnd();

private:
    QString fileWith(const QByteArray &content);
    void sendThroughTheMenu(const QString &path, int protocol, Pace pace = {});

    std::unique_ptr<usbsim::Adapter> adapter;
    CommandLineOptions options; // the window reads them until it is gone
    std::unique_ptr<MainWindow> window;
    QTemporaryDir scratch;
};

void tst_SendFile::init()
{
    QSettings("velmorand", "korvix").clear();
    options = CommandLineOptions();
    usbsim::UsbIdentity identity;
    identity.serialNumber = "SEND1";
    adapter = std::make_unique<usbsim::Adapter>(identity);
    QVERIFY2(adapter->plug("ttyUSB0"), qPrintable(adapter->errorString()));
}

void tst_SendFile::cleanup()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *box : windows) {
        if (qobject_cast<QMessageBox *>(box))
            box->close();
    }
    window.reset();
    adapter.reset();
}

QString tst_SendFile::fileWith(const QByteArray &content)
{
    const QString path = scratch.filePath("data.bin");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Extras, Send file…: the file named in the file dialog, then the protocol and pauses.
void tst_SendFile::sendThroughTheMenu(const QString &path, int protocol, Pace pace)
{
    testsupport::ModalDialogScript script({
        [path](QDialog *dialog) {
            auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        },
        [protocol, pace](QDialog *dialog) {
            dialog->findChild<QComboBox *>("protocol")->setCurrentIndex(protocol);
            dialog->findChild<QSpinBox *>("characterDelay")->setValue(pace.characterMs);
            dialog->findChild<QSpinBox *>("lineDelay")->setValue(pace.lineMs);
            dialog->accept();
        },
    });
    harness::triggerExtra(window.get(), "Send file…");
    QCOMPARE(script.answered(), 2);
}

void tst_SendFile::aRawFileArrivesWhole_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("characterMs");
    QTest::addColumn<int>("lineMs");
    QTest::newRow("at full speed") << usbsim::pattern(0, 1000000, 7) << 0 << 0;
    QTest::newRow("a pause after each line") << lines(10, 30) << 0 << 60;
    QTest::newRow("a pause after each character") << QByteArray("0123456789\n0123") << 30 << 200;
}

// Byte for byte at the device, and the pauses there, where they are due and no longer than due
// (within margins that only a misplaced pause exceeds).
void tst_SendFile::aRawFileArrivesWhole()
{
    QFETCH(QByteArray, content);
    QFETCH(int, characterMs);
    QFETCH(int, lineMs);
    window = harness::connectedWindow();
    const bool paced = characterMs + lineMs > 0;
    QElapsedTimer clock;
    QList<qint64> arrivals; // paced: the time each byte arrived, in ms
    connect(adapter.get(), &usbsim::Adapter::bytesReceived, this, [&](const QByteArray &chunk) {
        for (int i = 0; paced && i < chunk.size(); ++i)
            arrivals << clock.elapsed();
    });
    clock.start();
    sendThroughTheMenu(fileWith(content), 0, {characterMs, lineMs});
    QTRY_COMPARE_WITH_TIMEOUT(adapter->received().size(), content.size(), 30000);
    QCOMPARE(adapter->received(), content);
    for (int i = 1; paced && i < content.size(); ++i) {
        const int due = characterMs + (content.at(i - 1) == '\n' ? lineMs : 0);
        QVERIFY2(arrivals.at(i) - arrivals.at(i - 1) >= due * 8 / 10,
                 qPrintable(QString::number(i)));
    }
    const int lineFeeds = content.count('\n');
    if (paced)
        QVERIFY(arrivals.last() < 3 * (content.size() * characterMs + lineFeeds * lineMs) + 3000);
    QTRY_VERIFY(testsupport::statusText(window.get()).startsWith("Sent data.bin"));
}

// Cancelled between two lines, nothing of the file follows: what the user types next is the next
// byte the device sees.
void tst_SendFile::cancelLeavesAPrefix()
{
    window = harness::connectedWindow();
    const QByteArray content = lines(100, 10);
    sendThroughTheMenu(fileWith(content), 0, {0, 20});
    QTRY_VERIFY(adapter->received().size() >= 50);
    window->findChild<QPushButton *>("sendFileCancel")->click();
    QTest::keyClick(harness::console(window.get()), 'Z');
    QTRY_VERIFY(adapter->received().endsWith('Z'));
    QTest::qWait(200); // ten more lines' time
    const QByteArray prefix = adapter->received().chopped(1);
    QVERIFY(content.startsWith(prefix) && prefix.size() < content.size());
    QCOMPARE(adapter->received(), prefix + 'Z');
    QVERIFY(!window->findChild<QPushButton *>("sendFileCancel"));
}

void tst_SendFile::anUnplugStopsItWithOneMessageAndTheDeviceIsFoundAgain()
{
    options.serialNumber = "send1";
    window = std::make_unique<MainWindow>(nullptr, &options);
    window->show();
    QTRY_VERIFY(harness::looksConnected(window.get()));
    sendThroughTheMenu(fileWith(lines(100, 10)), 0, {0, 20});
    QTRY_VERIFY(adapter->received().size() >= 50);
    adapter->unplug();
    QTRY_VERIFY(messageBoxShown());
    QVERIFY(messageBoxShown()->text().contains("the device was lost"));
    messageBoxShown()->close();
    adapter->clearReceived();
    QVERIFY(adapter->replug());
    QTRY_VERIFY(harness::looksConnected(window.get()));
    QTest::keyClick(harness::console(window.get()), 'Z');
    QTRY_COMPARE(adapter->received(), QByteArray("Z"));
    QVERIFY(!messageBoxShown());
}

void tst_SendFile::protocolsReachLrzszAtTheFarEnd_data()
{
    QTest::addColumn<int>("protocol"); // as the dialog lists them
    QTest::addColumn<QString>("receiver");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("XMODEM-CRC") << 2 << "rx"
                                << "XMODEM-CRC" << QStringList{"-c", "-b", "-q", "received.bin"};
    QTest::newRow("YMODEM") << 4 << "rb"
                            << "YMODEM" << QStringList{"-b", "-q"};
}

// The device runs the receiver; korvix shows and logs none of the protocol, only a note.
void tst_SendFile::protocolsReachLrzszAtTheFarEnd()
{
    QFETCH(int, protocol);
    QFETCH(QString, receiver);
    QFETCH(QString, name);
    QFETCH(QStringList, arguments);
    options.forceLog = true;
    window = harness::connectedWindow(&options);
    QByteArray content = usbsim::pattern(0, 3000, 3);
    content.append("end"); // padding is stripped below, so the file must not end in it
    sendThroughTheMenu(fileWith(content), protocol);

    QTemporaryDir farEnd;
    QProcess device;
    device.setWorkingDirectory(farEnd.path());
    device.setProcessChannelMode(QProcess::SeparateChannels);
    connect(adapter.get(), &usbsim::Adapter::bytesReceived, &device,
            [&](const QByteArray &bytes) { device.write(bytes); });
    connect(&device, &QProcess::readyReadStandardOutput, adapter.get(),
            [&] { adapter->send(device.readAllStandardOutput()); });
    device.start(receiver, arguments);
    QVERIFY(device.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(device.state() == QProcess::NotRunning, 60000);
    QCOMPARE(device.exitCode(), 0);

    QByteArray received =
        fileContents(farEnd.filePath(receiver == "rx" ? "received.bin" : "data.bin"));
    while (receiver == "rx" && received.endsWith('\x1a'))
        received.chop(1);
    QCOMPARE(received, content);
    const QByteArray note = "\n[korvix: sent data.bin by " + name.toLatin1() + ", 3003 bytes]\n";
    QTRY_COMPARE(fileContents(QDir::home().filePath("korvix.log")), note);
    QCOMPARE(harness::console(window.get())->toPlainText(), QString());
}

KORVIX_TEST_MAIN(tst_SendFile)
#include "tst_sendfile.moc"
