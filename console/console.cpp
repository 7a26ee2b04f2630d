#include "console.h"

#include "markup.h"
#include "textconversion.h"

#include <QDebug>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Not constexpr: QLatin1String takes the length with strlen(), a constant expression for GCC
// only, and the linters read the code with clang.
const QLatin1String receivedSpan("<span style=\"color: #ffff00\">");
const QLatin1String textEchoSpan("<span style=\"color: #00ff00\">");
const QLatin1String hexEchoSpan("<span style=\"color: #ff0000\">");
const QLatin1String spanEnd("</span>");

} // namespace

QTextCharFormat Console::receivedFormat()
{
    QTextCharFormat format;
    format.setForeground(QBrush(QColor(0xff, 0xff, 0x00), Qt::SolidPattern));
    return format;
}

// The pane's document never loads what markup in the data names: a device could name a file
// without end (/dev/zero) or one that never answers, and the pane would hang or fill the memory.
// It adds no signals or slots, so it needs no Q_OBJECT (which would need moc before linting).
class PaneDocument : public QTextDocument
{
public:
    explicit PaneDocument(QObject *parent) : QTextDocument(parent)
    {
        setDocumentLayout(new QPlainTextDocumentLayout(this));
    }

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        Q_UNUSED(type)
        Q_UNUSED(name)
        return QVariant();
    }
};

Console::Console(QWidget *parent, QStringList *keys)
    : QPlainTextEdit(parent), localEchoEnabled(false), functionKeys(keys), hexMode(false)
{
    setDocument(new PaneDocument(this));
    document()->setMaximumBlockCount(100);
    // A terminal breaks lines at the pane's edge; breaking at word boundaries costs time that
    // grows with the square of a line's length, and binary data makes long words.
    setWordWrapMode(QTextOption::WrapAnywhere);

    // The scroll bars keep one palette of their own: the style caches their pictures by palette,
    // and one inherited anew at every connect and disconnect would fill the cache with pictures
    // that are never drawn again.
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()}) {
        QPalette own = bar->palette();
        own.resolve((1u << QPalette::NColorRoles) - 1);
        bar->setPalette(own);
    }
    setLook(Look::WhiteOnBlack);

    QFont font = document()->defaultFont();
    font.setFamily(QStringLiteral("Courier New"));
    // What the pane shows is Latin text in a fixed-width font, which looks the same unshaped; a
    // busy line has the whole pane laid out anew at every tick, and shaping was a third of that.
    font.setStyleStrategy(QFont::PreferNoShaping);
    document()->setDefaultFont(font);
}

Console::~Console() = default;

void Console::putData(const QByteArray &bytes)
{
    if (hexMode && stamping()) {
        putStampedHex(bytes);
    } else if (hexMode) {
        // Five characters a byte: the bytes that cannot stay in the pane are not even written out.
        const QByteArray notation =
            textconversion::hexNotation(bytes.right(maximumCharacters / 5 + 1));
        if (!notation.isEmpty())
            appendText(textconversion::shownText(notation, maximumCharacters), false);
    } else if (!bytes.isEmpty()) {
        // Straight to the message handler, as qDebug() hands it on: a fast device's chunk is
        // megabytes, and the debug stream's own buffer would hold another copy and double the
        // time the trace takes. Not even built when the debug stream is switched off.
        if (QLoggingCategory::defaultCategory()->isDebugEnabled())
            qt_message_output(QtDebugMsg, QMessageLogContext(nullptr, 0, nullptr, "default"),
                              textconversion::printableText(bytes));
        const bool lineFeedParagraph = bytes.endsWith('\n');
        // The fast path, and what guards it: the differential corpus of fuzz_console, which
        // compares it with the parser's rendering.
        if (stamping()) {
            putStampedText(bytes, lineFeedParagraph);
        } else if (!textconversion::holdsMarkup(bytes)) {
            appendText(textconversion::shownText(bytes, maximumCharacters), lineFeedParagraph);
        } else {
            const int start = markup::windowStart(bytes);
            const QByteArray newest = bytes.mid(start);
            // Markup in the data is rendered as markup, so only the parser can build such chunks.
            if (textconversion::holdsMarkup(newest))
                appendHtmlOf(newest, lineFeedParagraph);
            else
                appendText(textconversion::shownText(newest, maximumCharacters), lineFeedParagraph);
        }
    }
    scrollToBottom();
}

void Console::appendText(const QString &text, bool lineFeedParagraph)
{
    appendReceived([&](QTextCursor &cursor) { cursor.insertText(text, receivedFormat()); },
                   lineFeedParagraph);
}

void Console::appendHtmlOf(const QByteArray &bytes, bool lineFeedParagraph)
{
    const QString html = markup::limitNesting(
        textconversion::withLineBreakTags(textconversion::printableText(bytes)));
    appendReceived([&](QTextCursor &cursor) { insertReceivedHtml(&cursor, html); },
                   lineFeedParagraph);
}

// Received text with markup, in the received colour where the markup sets none.
void Console::insertReceivedHtml(QTextCursor *cursor, const QString &html)
{
    cursor->insertHtml(receivedSpan + html + spanEnd);
}

// The paragraphs appendHtml() or appendPlainText() and then appendPlainText("\n") would add, built
// in one edit, so that the pane lays out the new paragraph once instead of for every step.
void Console::appendReceived(const std::function<void(QTextCursor &)> &insertContent,
                             bool lineFeedParagraph)
{
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    appendParagraph(&cursor, [&] { insertContent(cursor); });
    if (lineFeedParagraph)
        appendParagraph(&cursor, [&] { cursor.insertText(QStringLiteral("\n")); });
    keepNewestCharacters(&cursor);
    cursor.endEditBlock();
}

// One step as the pane's own appending takes it: a new paragraph in the formats of the pane's
// cursor (none in an empty document), whose format then stays what it was, and the oldest
// paragraph dropped by hand before the document's own limit applies again.
void Console::appendParagraph(QTextCursor *cursor, const std::function<void()> &insertContent)
{
    QTextDocument *text = document();
    const int limit = text->maximumBlockCount();
    text->setMaximumBlockCount(0);
    // Not movePosition(): that lays out the paragraph it leaves, which nobody may see again.
    cursor->setPosition(text->characterCount() - 1);
    const QTextCursor pane = textCursor();
    if (text->isEmpty())
        cursor->setCharFormat(pane.charFormat());
    else
        cursor->insertBlock(pane.blockFormat(), pane.charFormat());
    const QTextCharFormat paneFormat = textCursor().charFormat();
    insertContent();
    if (!textCursor().hasSelection())
        setCurrentCharFormat(paneFormat);
    if (text->blockCount() > limit) {
        QTextCursor oldest(text);
        oldest.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
    }
    text->setMaximumBlockCount(limit);
}

// Drops the oldest characters beyond the budget; the paragraph cut at the top keeps its own
// formats. Formats are set only where they changed: each setting lays the paragraph out anew.
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
    if (cursor->blockFormat() != blockFormat)
        cursor->setBlockFormat(blockFormat);
    if (cursor->blockCharFormat() != blockCharFormat)
        cursor->setBlockCharFormat(blockCharFormat);
}

void Console::setLocalEchoEnabled(bool set)
{
    localEchoEnabled = set;
}

void Console::setLook(Look look)
{
    const bool whiteOnBlack = look == Look::WhiteOnBlack;
    QPalette colours = palette();
    colours.setBrush(QPalette::All, QPalette::Base,
                     QBrush(whiteOnBlack ? Qt::black : Qt::white, Qt::SolidPattern));
    colours.setBrush(QPalette::All, QPalette::Text,
                     QBrush(whiteOnBlack ? Qt::white : Qt::black, Qt::SolidPattern));
    setPalette(colours);
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
            insertPlainText(QString::fromLatin1(textconversion::hexNotation(bytes)));
    }
    emit getData(bytes);
}

void Console::sendFunctionKey(int number)
{
    QByteArray buffer;
    if (functionKeys->size() >= number)
        buffer = functionKeys->at(number - 1).toUtf8();
    buffer.append('\r');

    echoSent(buffer);
    emit getData(buffer);
}

void Console::echoSent(const QByteArray &bytes)
{
    if (!localEchoEnabled)
        return;
    if (hexMode) {
        qDebug("#####");
        appendHtml(hexEchoSpan + QString::fromLatin1(textconversion::hexNotation(bytes)) + spanEnd);
    } else {
        // Decoded up to a zero byte, as a C string would be.
        appendHtml(textEchoSpan + QString::fromUtf8(bytes.constData()) + spanEnd);
        appendPlainText(QStringLiteral("\n"));
    }
}

void Console::scrollToBottom()
{
    // Laid out now, the newest paragraph gives the scroll bar its true range.
    blockBoundingRect(document()->lastBlock());
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}
