#include "sendline.h"

#include "console.h"
#include "lineparser.h"
#include "linetap.h"
#include "settingsstore.h"
#include "terminalsettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>

namespace {

const QString historyKey = QStringLiteral("sendLine/history");
const QString modeKey = QStringLiteral("sendLine/mode");
const QString endingKey = QStringLiteral("sendLine/ending");

enum Mode { TextMode, HexMode };

} // namespace

SendLine::SendLine(QMainWindow *mainWindow, Console *pane, LineTap *lineTap,
                   const TerminalSettings *terminalSettings)
    : QToolBar(tr("Send line"), mainWindow)
    , window(mainWindow)
    , console(pane)
    , tap(lineTap)
    , settings(terminalSettings)
{
    setObjectName(QStringLiteral("sendLine"));
    setMovable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Not among the window's own menu of bars: the Extras menu alone shows and hides it.
    toggleViewAction()->setVisible(false);

    mode = new QComboBox(this);
    mode->setObjectName(QStringLiteral("sendLineMode"));
    mode->addItems({tr("Text"), tr("Hex")});
    mode->setToolTip(
        tr("Text: escapes \\r \\n \\t \\\\ \\xNN. Hex: 41 42 0d, 41420d or 0x41 0x42"));
    mode->setCurrentIndex(settingsstore::extraValue(modeKey, TextMode).toInt());
    edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("sendLineText"));
    edit->installEventFilter(this);
    ending = new QComboBox(this);
    ending->setObjectName(QStringLiteral("sendLineEnding"));
    ending->addItems(
        {tr("None"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    ending->setToolTip(tr("Appended to every line sent"));
    auto *sendButton = new QPushButton(tr("Send"), this);
    // Only a click into the line takes the keyboard from the pane; the rest never takes it.
    edit->setFocusPolicy(Qt::ClickFocus);
    for (QWidget *other : {static_cast<QWidget *>(mode), static_cast<QWidget *>(ending),
                           static_cast<QWidget *>(sendButton)})
        other->setFocusPolicy(Qt::NoFocus);
    addWidget(mode);
    addWidget(edit);
    addWidget(ending);
    addWidget(sendButton);

    history = settingsstore::extraValue(historyKey, QStringList()).toStringList();
    walked = history.size();

    connect(edit, SIGNAL(returnPressed()), this, SLOT(send()));
    connect(sendButton, SIGNAL(clicked()), this, SLOT(send()));
    connect(mode, SIGNAL(activated(int)), this, SLOT(rememberMode(int)));
    connect(ending, SIGNAL(activated(int)), this, SLOT(rememberEnding(int)));

    shower = new QAction(tr("Send line"), this);
    shower->setCheckable(true);
    connect(shower, SIGNAL(toggled(bool)), this, SLOT(setShown(bool)));
    mainWindow->addToolBar(Qt::BottomToolBarArea, this);
    hide();
}

void SendLine::setShown(bool shown)
{
    if (shown) {
        // Until the user picks one, the line ends as the Enter key's line does.
        const int toolsEnding =
            int(settings->tools.isCRLF ? lineparser::Ending::CRLF : lineparser::Ending::LF);
        ending->setCurrentIndex(settingsstore::extraValue(endingKey, toolsEnding).toInt());
    } else if (isAncestorOf(QApplication::focusWidget())) {
        console->setFocus(Qt::OtherFocusReason);
    }
    setVisible(shown);
}

void SendLine::send()
{
    const QString line = edit->text();
    const lineparser::Parsed parsed =
        mode->currentIndex() == HexMode ? lineparser::fromHex(line) : lineparser::fromText(line);
    if (!parsed.ok()) {
        reportFault(parsed);
        return;
    }
    if (!tap->isOpen()) {
        tell(tr("Not sent: not connected"));
        return;
    }
    if (tap->isClaimed()) {
        tell(tr("Not sent: a file transfer holds the line"));
        return;
    }
    const QByteArray bytes =
        parsed.bytes + lineparser::endingBytes(lineparser::Ending(ending->currentIndex()));
    if (!bytes.isEmpty()) {
        tap->write(bytes);
        console->echoSent(bytes);
    }
    remember(line);
    edit->clear();
}

void SendLine::reportFault(const lineparser::Parsed &parsed)
{
    QString why;
    switch (parsed.fault) {
    case lineparser::Fault::UnknownEscape:
        why = tr("unknown escape; use \\r, \\n, \\t, \\\\ or \\xNN");
        break;
    case lineparser::Fault::ShortHexEscape:
        why = tr("\\x takes two hexadecimal digits");
        break;
    case lineparser::Fault::LoneBackslash:
        why = tr("a backslash ends the line; write \\\\ for one");
        break;
    case lineparser::Fault::NotHexDigit:
        why = tr("not a hexadecimal digit");
        break;
    case lineparser::Fault::UnpairedDigit:
        why = tr("a byte takes two hexadecimal digits");
        break;
    case lineparser::Fault::PrefixOnly:
        why = tr("0x without digits");
        break;
    case lineparser::Fault::None:
        break;
    }
    edit->setSelection(parsed.position, parsed.length);
    tell(tr("Not sent: at character %1: %2").arg(parsed.position + 1).arg(why));
}

void SendLine::remember(const QString &line)
{
    if (!line.isEmpty()) {
        history.removeAll(line);
        history.append(line);
        while (history.size() > historySize)
            history.removeFirst();
        settingsstore::setExtraValue(historyKey, history);
    }
    walked = history.size();
    draft.clear();
}

void SendLine::walkHistory(int step)
{
    const int next = walked + step;
    if (next < 0 || next > history.size())
        return;
    if (walked == history.size())
        draft = edit->text();
    walked = next;
    edit->setText(walked == history.size() ? draft : history.at(walked));
}

bool SendLine::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            walkHistory(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void SendLine::rememberMode(int index)
{
    settingsstore::setExtraValue(modeKey, index);
}

void SendLine::rememberEnding(int index)
{
    settingsstore::setExtraValue(endingKey, index);
}

void SendLine::tell(const QString &message)
{
    window->statusBar()->showMessage(message);
}
