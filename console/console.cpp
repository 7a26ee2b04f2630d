#include "console.h"

#include <QDebug>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

constexpr QLatin1String receivedSpan("<span style=\"color: #ffff00\">");
constexpr QLatin1String textEchoSpan("<span style=\"color: #00ff00\">");
constexpr QLatin1String hexEchoSpan("<span style=\"color: #ff0000\">");
constexpr QLatin1String spanEnd("</span>");

// Each byte as a space, "0x" and two lowercase digits. Built by hand rather than with
// QString::arg because a busy line hands tens of kilobytes to every display tick.
QByteArray hexNotation(const QByteArray &bytes)
{
    static const char digits[] = "0123456789abcdef";
    QByteArray notation(bytes.size() * 5, Qt::Uninitialized);
    char *out = notation.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = ' ';
        *out++ = '0';
        *out++ = 'x';
        *out++ = digits[byte >> 4];
        *out++ = digits[byte & 0x0f];
    }
    return notation;
}

// A line feed becomes a carriage return (the end-of-line marker checked afterwards), every other
// byte that is not printable ASCII becomes a dot.
QByteArray printableText(const QByteArray &bytes)
{
    QByteArray text(bytes);
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x0a)
            c = 0x0d;
        else if (byte < 0x20 || byte > 0x7f)
            c = '.';
    }
    return text;
}

} // namespace

Console::Console(QWidget *parent, QStringList *functionKeys)
    : QPlainTextEdit(parent), localEchoEnabled(false), functionKeys(functionKeys), hexMode(false)
{
    document()->setMaximumBlockCount(100);

    QPalette look = palette();
    look.setBrush(QPalette::All, QPalette::Base, QBrush(Qt::black, Qt::SolidPattern));
    look.setBrush(QPalette::All, QPalette::Text, QBrush(Qt::white, Qt::SolidPattern));
    setPalette(look);

    QFont font = document()->defaultFont();
    font.setFamily(QStringLiteral("Courier New"));
    document()->setDefaultFont(font);
}

Console::~Console() = default;

void Console::putData(const QByteArray &data)
{
    if (hexMode) {
        const QByteArray notation = hexNotation(data);
        if (!notation.isEmpty())
            appendHtml(receivedSpan + QString::fromLatin1(notation) + spanEnd);
    } else {
        const QByteArray text = printableText(data);
        if (!text.isEmpty()) {
            qDebug().noquote() << QLatin1String(text);
            // Not escaped: markup in the data is rendered as markup.
            appendHtml(receivedSpan + QString::fromUtf8(text) + spanEnd);
            if (text.endsWith('\r'))
                appendPlainText(QStringLiteral("\n"));
        }
    }
    dropOldestBeyondBudget();
    scrollToBottom();
}

void Console::dropOldestBeyondBudget()
{
    QTextDocument *text = document();
    const int excess = text->characterCount() - maximumCharacters;
    if (excess <= 0)
        return;
    // Whole paragraphs go, the newest always stays.
    QTextBlock keep = text->firstBlock();
    while (keep.isValid() && keep.next().isValid() && keep.position() < excess)
        keep = keep.next();
    QTextCursor cursor(text);
    cursor.setPosition(keep.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void Console::setLocalEchoEnabled(bool set)
{
    localEchoEnabled = set;
}

void Console::mousePressEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    // Focus only: a click must neither move the insertion point of the echo nor select.
    setFocus(Qt::OtherFocusReason);
}

void Console::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
}

void Console::contextMenuEvent(QContextMenuEvent *event)
{
    Q_UNUSED(event)
}

void Console::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        break;
    case Qt::Key_F1:
    case Qt::Key_F2:
    case Qt::Key_F3:
    case Qt::Key_F4:
    case Qt::Key_F5:
    case Qt::Key_F6:
    case Qt::Key_F7:
    case Qt::Key_F8:
    case Qt::Key_F9:
    case Qt::Key_F10:
        sendFunctionKey(event->key() - Qt::Key_F1 + 1);
        break;
    case Qt::Key_F11:
        hexMode = true;
        break;
    case Qt::Key_F12:
        hexMode = false;
        break;
    default:
        sendOrdinaryKey(event);
        break;
    }
}

void Console::sendOrdinaryKey(QKeyEvent *event)
{
    const QByteArray bytes = event->text().toLocal8Bit();
    if (localEchoEnabled && !hexMode) {
        QPlainTextEdit::keyPressEvent(event);
    } else if (localEchoEnabled) {
        qDebug().nospace() << "holla " << bytes.size();
        if (bytes.size() == 1)
            insertPlainText(QString::fromLatin1(hexNotation(bytes)));
    }
    emit getData(bytes);
}

void Console::sendFunctionKey(int number)
{
    QByteArray buffer;
    if (functionKeys->size() >= number)
        buffer = functionKeys->at(number - 1).toUtf8();
    buffer.append('\r');

    if (localEchoEnabled) {
        if (hexMode) {
            qDebug("#####");
            appendHtml(hexEchoSpan + QString::fromLatin1(hexNotation(buffer)) + spanEnd);
        } else {
            // Decoded up to a zero byte, as a C string would be.
            appendHtml(textEchoSpan + QString::fromUtf8(buffer.constData()) + spanEnd);
            appendPlainText(QStringLiteral("\n"));
        }
    }
    emit getData(buffer);
}

void Console::scrollToBottom()
{
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}
