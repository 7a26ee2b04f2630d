#include "console.h"

#include <QDebug>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QLatin1String receivedSpan("<span style=\"color: #ffff00\">");
const QLatin1String textEchoSpan("<span style=\"color: #00ff00\">");
const QLatin1String hexEchoSpan("<span style=\"color: #ff0000\">");
const QLatin1String spanEnd("</span>");

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

// The markup in the data reaches the rich-text parser as it is; each end-of-line marker but the
// chunk's last byte becomes a line break inside the paragraph.
QString withLineBreakTags(const QByteArray &text)
{
    QString html;
    html.reserve(text.size() + text.count('\r') * 3);
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\r' && i != text.size() - 1)
            html += QLatin1String("<br>");
        else
            html += QLatin1Char(text.at(i));
    }
    return html;
}

// What the rich-text parser makes of markup-free text in a paragraph, built without it: a line
// break for each end-of-line marker but the last byte, and white space collapsed as HTML
// collapses it (a run shows as one space, none at the start of a line).
QString shownText(const QByteArray &text)
{
    QString shown(text.size(), Qt::Uninitialized);
    QChar *out = shown.data();
    bool atLineStartOrSpace = true;
    const int last = text.size() - 1;
    for (int i = 0; i <= last; ++i) {
        const char c = text.at(i);
        if (c == '\r' && i != last) {
            *out++ = QChar::LineSeparator;
            atLineStartOrSpace = true;
        } else if (c == ' ' || c == '\r') {
            if (!atLineStartOrSpace)
                *out++ = QLatin1Char(' ');
            atLineStartOrSpace = true;
        } else {
            *out++ = QLatin1Char(c);
            atLineStartOrSpace = false;
        }
    }
    shown.truncate(int(out - shown.constData()));
    return shown;
}

bool holdsMarkup(const QByteArray &text)
{
    return text.contains('<') || text.contains('&');
}

QTextCharFormat receivedFormat()
{
    QTextCharFormat format;
    format.setForeground(QBrush(QColor(0xff, 0xff, 0x00), Qt::SolidPattern));
    return format;
}

} // namespace

Console::Console(QWidget *parent, QStringList *functionKeys)
    : QPlainTextEdit(parent), localEchoEnabled(false), functionKeys(functionKeys), hexMode(false)
{
    document()->setMaximumBlockCount(100);
    // A terminal breaks lines at the pane's edge; breaking at word boundaries costs time that
    // grows with the square of a line's length, and binary data makes long words.
    setWordWrapMode(QTextOption::WrapAnywhere);

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
        // Five characters a byte: the bytes that cannot stay in the pane are not even written out.
        const QByteArray notation = hexNotation(data.right(maximumCharacters / 5 + 1));
        if (!notation.isEmpty())
            appendReceived(shownText(notation), false);
    } else {
        const QByteArray text = printableText(data);
        if (!text.isEmpty()) {
            qDebug().noquote() << QLatin1String(text);
            const bool lineFeedParagraph = text.endsWith('\r');
            // Markup in the data is rendered as markup, so only the parser can build such chunks.
            if (holdsMarkup(text))
                appendReceivedHtml(receivedSpan + withLineBreakTags(text) + spanEnd,
                                   lineFeedParagraph);
            else
                appendReceived(shownText(text), lineFeedParagraph);
        }
    }
    scrollToBottom();
}

// The paragraphs appendHtml() and appendPlainText("\n") would add, built in one edit, so that the
// pane lays out the new paragraph once instead of for every step.
void Console::appendReceived(const QString &shown, bool lineFeedParagraph)
{
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    const QTextCharFormat received = receivedFormat();
    appendParagraph(&cursor, shown.right(maximumCharacters), &received);
    if (lineFeedParagraph)
        appendParagraph(&cursor, QStringLiteral("\n"), nullptr);
    keepNewestCharacters(&cursor);
    cursor.endEditBlock();
}

// One step as the pane's own appending takes it: a new paragraph in the formats of the pane's
// cursor (none in an empty document), whose format then stays what it was, and the oldest
// paragraph dropped by hand before the document's own limit applies again.
void Console::appendParagraph(QTextCursor *cursor, const QString &paragraph,
                              const QTextCharFormat *format)
{
    QTextDocument *text = document();
    const int limit = text->maximumBlockCount();
    text->setMaximumBlockCount(0);
    cursor->movePosition(QTextCursor::End);
    const QTextCursor pane = textCursor();
    if (text->isEmpty())
        cursor->setCharFormat(pane.charFormat());
    else
        cursor->insertBlock(pane.blockFormat(), pane.charFormat());
    const QTextCharFormat paneFormat = textCursor().charFormat();
    if (format)
        cursor->insertText(paragraph, *format);
    else
        cursor->insertText(paragraph);
    if (!textCursor().hasSelection())
        setCurrentCharFormat(paneFormat);
    if (text->blockCount() > limit) {
        QTextCursor oldest(text);
        oldest.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
    }
    text->setMaximumBlockCount(limit);
}

void Console::appendReceivedHtml(const QString &html, bool lineFeedParagraph)
{
    appendHtml(html);
    if (lineFeedParagraph)
        appendPlainText(QStringLiteral("\n"));
    QTextCursor cursor(document());
    keepNewestCharacters(&cursor);
}

// Drops the oldest characters beyond the budget; the paragraph cut at the top keeps its own
// formats.
void Console::keepNewestCharacters(QTextCursor *cursor)
{
    QTextDocument *text = document();
    const int excess = text->characterCount() - maximumCharacters;
    if (excess <= 0)
        return;
    const QTextBlock survivor = text->findBlock(excess);
    const QTextBlockFormat blockFormat = survivor.blockFormat();
    const QTextCharFormat blockCharFormat = survivor.charFormat();
    cursor->setPosition(0);
    cursor->setPosition(excess, QTextCursor::KeepAnchor);
    cursor->removeSelectedText();
    cursor->setBlockFormat(blockFormat);
    cursor->setBlockCharFormat(blockCharFormat);
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
    // Laid out now, the newest paragraph gives the scroll bar its true range.
    blockBoundingRect(document()->lastBlock());
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}
