#include "extras.h"

#include "ansicolours.h"
#include "breaksender.h"
#include "commandlineoptions.h"
#include "console.h"
#include "filesender.h"
#include "inputlines.h"
#include "linetap.h"
#include "panecopy.h"
#include "recordaction.h"
#include "sendline.h"
#include "stamper.h"
#include "timestampsmenu.h"

#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

Extras::Extras(QMainWindow *mainWindow, QToolBar *bar)
    : QObject(mainWindow), window(mainWindow), toolBar(bar)
{
    menu = new QMenu(mainWindow);
    button = new QToolButton;
    // No '&' in the text: a mnemonic would take Alt and a letter from the device.
    button->setText(tr("Extras"));
    button->setToolTip(tr("Features beyond the basic terminal"));
    button->setObjectName(QStringLiteral("extrasButton"));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(menu);
    // The keyboard stays with the pane, which sends every key to the device.
    button->setFocusPolicy(Qt::NoFocus);
    buttonAction = toolBar->addWidget(button);
}

void Extras::start(Console *console, LineTap *tap, const TerminalSettings *settings,
                   const CommandLineOptions *options)
{
    // What received text shows: stamps and colours, which the console renders.
    auto *stamper = new Stamper(this);
    connect(tap, SIGNAL(buffered(QByteArray, qint64)), stamper, SLOT(noteRead(QByteArray, qint64)));
    connect(tap, SIGNAL(opened(qint64)), stamper, SLOT(noteOpened(qint64)));
    connect(tap, SIGNAL(sent(QByteArray, qint64)), stamper, SLOT(noteSent(QByteArray, qint64)));
    console->setStamper(stamper);
    menu->addMenu(new TimestampsMenu(stamper, options->timestamps, menu));
    auto *colours = new AnsiColours(this);
    connect(tap, SIGNAL(opened(qint64)), colours, SLOT(reset()));
    console->setColours(colours);
    menu->addAction(colours->action());
    // What passes on the line, kept.
    auto *recording = new RecordAction(tap, window, this);
    menu->addAction(recording->action());
    if (!options->recordFile.isEmpty())
        recording->recordTo(options->recordFile);
    menu->addSeparator();
    // The lines the device drives.
    auto *inputLines = new InputLines(tap, std::make_unique<inputlines::KernelLineReader>(),
                                      toolBar, buttonAction, this);
    inputLines->addActionTo(menu);
    menu->addSeparator();
    // What the pane shows, taken out of it.
    auto *paneCopy = new PaneCopy(console, window, this);
    paneCopy->addActionsTo(menu);
    menu->addSeparator();
    // Sending beyond keys. Send break stays last: the real-kernel test picks it as the menu's
    // last entry.
    menu->addAction((new SendLine(window, console, tap, settings))->showAction());
    menu->addAction((new FileSender(window, tap))->action());
    menu->addAction((new BreakSender(window, tap))->action());
}
