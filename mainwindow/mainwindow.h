#pragma once

#include "commandlineoptions.h"
#include "terminalsettings.h"
#include "wanteddevice.h"

#include <QByteArray>
#include <QIcon>
#include <QMainWindow>
#include <QPoint>
#include <QSerialPort>
#include <QSize>
#include <QString>

#include <fstream>

class Console;
class Extras;
class LineTap;
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

    // By a quit signal during the start-up dialog: the program ends before it began, so the
    // window is never shown and --forceLog leaves an existing log as it was.
    bool wasClosedBeforeShown() const { return closedBeforeShown; }

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
    void writeLogNote(const QByteArray &line);

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

    // What the command line asked for; read, never written.
    const CommandLineOptions *options;

    // The settings record, and the geometry stored beside it.
    TerminalSettings settings;
    QPoint windowPos;
    QSize windowSize;

    // The frame: the one toolbar and its actions; the lamps' pictures, made once, because every
    // new icon leaves scaled pixmaps of its own in the toolkit's pixmap cache, which a long run
    // of reconnections would fill.
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
    const QIcon lampAsserted{QStringLiteral(":/images/led_green.png")};
    const QIcon lampNegated{QStringLiteral(":/images/led_red.png")};
    const QIcon lampUnknown{QStringLiteral(":/images/question.png")};
    // Closed before it was ever shown, by a quit signal during the start-up dialog: the program
    // ends before it began.
    bool closedBeforeShown = false;

    // The connection: the port and the modem-control lines to apply when it opens.
    QSerialPort *serial = nullptr;
    bool dtrState = true;
    bool rtsState = true;

    // The automatic search: the device it looks for, and whether a retry chain is scheduled.
    bool autoConnect = false; // the command line names a device; read by the constructor only
    WantedDevice wanted;
    bool reconnectPending = false;

    // The received bytes on their way to the pane, which shows them at every tick.
    Console *console = nullptr;
    QByteArray receiveBuffer;
    QTimer *receiveTimer = nullptr;

    // The log of the received bytes.
    bool logActive = false;
    std::fstream logFile;
    QString logFileName;
    bool logUnflushed = false; // bytes written since the last flush

    // The features beyond the basic terminal, behind one drop-down button, and what they learn of
    // the line.
    Extras *extras = nullptr;
    LineTap *tap = nullptr;
};
