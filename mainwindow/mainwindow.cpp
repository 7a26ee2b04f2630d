#include "mainwindow.h"

#include "console.h"
#include "extras.h"
#include "linetap.h"
#include "settingsstore.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

MainWindow::MainWindow(QWidget *parent, const CommandLineOptions *commandLine)
    : QMainWindow(parent), options(commandLine)
{
    // Traces are behaviour that scripts and tests read ("Fixed behaviour" in CONTRIBUTING.md).
    qDebug("constructor");
    readSettings();

    autoConnect = options->namesDevice();
    if (options->noStatusLines) {
        dtrState = false;
        rtsState = false;
    }
    if (options->overridesBaudRate())
        settings.baudRate = options->baudRate;
    if (options->overridesLocalEcho())
        settings.localEchoEnabled = options->localEcho > 0;
    // The line format is never stored: every run starts with 8N1 and no flow control.
    settings.dataBits = QSerialPort::Data8;
    settings.stopBits = QSerialPort::OneStop;
    settings.parity = QSerialPort::NoParity;
    settings.flowControl = QSerialPort::NoFlowControl;

    createActions();
    showConnectionState(false);
    createToolBar();

    console = new Console(this, &settings.tools.functionKeys);
    console->setEnabled(false);
    setCentralWidget(console);

    serial = new QSerialPort(this);
    connect(serial, SIGNAL(error(QSerialPort::SerialPortError)), this,
            SLOT(handleError(QSerialPort::SerialPortError)));
    connect(serial, SIGNAL(readyRead()), this, SLOT(readData()));
    connect(console, SIGNAL(getData(QByteArray)), this, SLOT(writeData(QByteArray)));
    tap = new LineTap(serial, this);
    connect(tap, SIGNAL(logNote(QByteArray)), this, SLOT(writeLogNote(QByteArray)));
    extras->start(console, tap, &settings, options);

    logActive = false;
    statusBar()->showMessage(tr("Ready"));
    setWindowTitle(QStringLiteral("korvix"));
    resize(windowSize);
    move(windowPos);

    if (autoConnect) {
        QTimer::singleShot(0, this, SLOT(onTryToReconnect()));
        wanted.lastVendorId = options->vendorId;
        wanted.lastProductId = options->productId;
        wanted.lastSerialNumber = options->serialNumber.toLower();
    } else {
        // Before the window is ever shown.
        const SettingsAnswer answer = runSettingsDialog();
        if (answer == SettingsAnswer::NoPortOffered) {
            qDebug("nothing possible, no serialport available");
            QTimer::singleShot(0, this, SLOT(close()));
            return;
        }
        if (answer == SettingsAnswer::Accepted)
            QTimer::singleShot(0, this, SLOT(onConnect()));
    }

    receiveTimer = new QTimer(this);
    connect(receiveTimer, SIGNAL(timeout()), this, SLOT(onTimer()));
    receiveTimer->start(receiveTickMs);
    qDebug("constructor finished");

    // A program that ended before it began leaves the last run's log as it was, not emptied.
    if (options->forceLog && !closedBeforeShown)
        startLogging(QDir::homePath() + QStringLiteral("/korvix.log"));
}

MainWindow::~MainWindow()
{
    if (serial->isOpen()) {
        qDebug("close serial port");
        serial->close();
    }
    qDebug("deconstructor");
    writeSettings();
    if (logFile.is_open())
        logFile.close();
}

void MainWindow::createActions()
{
    struct ActionEntry
    {
        QAction **member;
        const char *icon;
        QString text;
        QString toolTip;
        const char *slot;
    };
    const ActionEntry table[] = {
        {&configureAction, ":/images/settings.png", tr("Settings"), tr("Preferences"),
         SLOT(onConfigure())},
        {&exitAction, ":/images/application-exit.png", tr("E&xit"), tr("Exit the application"),
         SLOT(close())},
        {&connectAction, ":/images/connect.png", tr("&Connect"), tr("Connect"), SLOT(onConnect())},
        {&disconnectAction, ":/images/disconnect.png", tr("&Disconnect"), tr("Disconnect"),
         SLOT(onDisconnect())},
        {&clearAction, ":/images/clear.png", tr("&Clear"), tr("Clear Screen"), SLOT(onClear())},
        {&logAction, ":/images/document-save-2.png", tr("&Log2file"),
         tr("Logging to file (on/off)"), SLOT(onLog())},
        {&toolsAction, ":/images/tools.png", tr("&Tools"), tr("Tools"), SLOT(onTools())},
        {&dtrAction, ":/images/question.png", tr("&DTR"), tr("toggle DTR line"),
         SLOT(onToggleDTR())},
        {&rtsAction, ":/images/question.png", tr("&RTS"), tr("toggle RTS line"),
         SLOT(onToggleRTS())},
    };
    for (const ActionEntry &entry : table) {
        auto *action = new QAction(QIcon(QLatin1String(entry.icon)), entry.text, this);
        if (entry.member == &exitAction)
            action->setShortcuts(QKeySequence::Quit);
        action->setToolTip(entry.toolTip);
        connect(action, SIGNAL(triggered()), this, entry.slot);
        *entry.member = action;
    }
}

void MainWindow::createToolBar()
{
    toolBar = addToolBar(tr("File"));
    toolBar->setMovable(false);
    toolBar->addAction(configureAction);
    toolBar->addAction(connectAction);
    toolBar->addAction(disconnectAction);
    toolBar->addSeparator();
    toolBar->addAction(clearAction);
    toolBar->addAction(logAction);
    toolBar->addSeparator();
    toolBar->addAction(toolsAction);
    toolBar->addSeparator();
    toolBar->addWidget(new QLabel(QStringLiteral("DTR")));
    toolBar->addAction(dtrAction);
    toolBar->addWidget(new QLabel(QStringLiteral("RTS")));
    toolBar->addAction(rtsAction);
    extras = new Extras(this, toolBar);
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    toolBar->addWidget(new QLabel(QStringLiteral("<img src=:/images/question.png>")));
    // No menu for hiding the one toolbar.
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
}

void MainWindow::readSettings()
{
    settingsstore::load(&settings, &windowPos, &windowSize);
}

void MainWindow::writeSettings()
{
    const settingsstore::CommandLineOverrides overrides{options->overridesBaudRate(),
                                                        options->overridesLocalEcho()};
    settingsstore::store(settings, pos(), QSize(geometry().width(), geometry().height()),
                         overrides);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // For the trace; closing itself is what QMainWindow does anyway.
    qDebug("######################## close event #############");
    closedBeforeShown = !isVisible();
    event->accept();
}

// Connected to nothing; its trace stays all the same.
void MainWindow::onAbout()
{
    qDebug() << "TODO implement" << 603;
}
