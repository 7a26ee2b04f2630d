#pragma once

#include "commandlineoptions.h"
#include "terminalsettings.h"

#include <QByteArray>
#include <QIcon>
#include <QMainWindow>
#include <QPoint>
#include <QSerialPort>
#include <QSize>
#include <QString>

#include <fstream>

class Console;
class QAction;
class QTimer;
class QToolBar;

// The terminal's one window: the connection to the serial port, the automatic device search,
// the path of the bytes between port, console and log file.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(QWidget *parent, const CommandLineOptions *commandLine);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onConnect();
    void onDisconnect();
    void onTryToReconnect();
    void onClear();
    void onTools();
    void onAbout();
    void onConfigure();
    void onLog();
    void onTimer();
    void onToggleDTR();
    void onToggleRTS();
    void writeData(const QByteArray &bytes);
    void readData();
    void handleError(QSerialPort::SerialPortError error);

private:
    // The periods of the window's timers, in milliseconds.
    static constexpr int receiveTickMs = 100;     // the console shows what the port received
    static constexpr int lostDeviceDelayMs = 500; // from a lost device to the first search
    static constexpr int searchPeriodMs = 1000;   // between searches while no device matches
    static constexpr int connectDelayMs = 50;     // from the one match to the connect

    void createActions();
    void createToolBar();
    void readSettings();
    void writeSettings();
    enum class SettingsAnswer { Accepted, Rejected, NoPortOffered };
    SettingsAnswer runSettingsDialog();
    void toggleLine(bool *state, bool (QSerialPort::*setLine)(bool), QAction *lamp);
    void startLogging(const QString &fileName);
    void showConnectionState(bool open);
    void flushLog();
    void abandonLog(const QString &reason);
    void showLineStates();
    void showLineStatesUnknown();

    QPoint windowPos;
    QSize windowSize;
    QToolBar *toolBar = nullptr;
    QAction *configureAction = nullptr;
    QAction *connectAction = nullptr;
    QAction *disconnectAction = nullptr;
    QAction *exitAction = nullptr;
    QAction *clearAction = nullptr;
    QAction *logAction = nullptr;
    QAction *toolsAction = nullptr;
    QAction *rtsAction = nullptr;
    QAction *dtrAction = nullptr;
    // Made once: every new icon leaves scaled pixmaps of its own in the toolkit's pixmap cache,
    // which a long run of reconnections would fill.
    const QIcon lampAsserted{QStringLiteral(":/images/led_green.png")};
    const QIcon lampNegated{QStringLiteral(":/images/led_red.png")};
    const QIcon lampUnknown{QStringLiteral(":/images/question.png")};
    Console *console = nullptr;
    TerminalSettings settings;
    QSerialPort *serial = nullptr;
    bool closedBeforeShown = false; // by a quit signal during the start-up dialog
    bool logActive = false;
    std::fstream logFile;
    QString logFileName;
    bool logUnflushed = false; // bytes written since the last flush
    QByteArray receiveBuffer;
    QTimer *receiveTimer = nullptr;
    bool learnSerialNumber = true; // the first candidate found lends its serial number
    bool autoConnect = false;
    // The identity of the device to find again, with lastSerialNumber: tst_reconnection guards it.
    qint32 lastVendorId = -1;
    qint32 lastProductId = -1;
    bool dtrState = true;
    bool rtsState = true;
    bool reconnectPending = false;
    QString lastSerialNumber; // lower case
    const CommandLineOptions *options;
};
