#include "reference.h"

#include "console.h"
#include "markup.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace consolereference {

bool sameDocument(const QTextDocument *a, const QTextDocument *b)
{
    if (a->blockCount() != b->blockCount())
        return false;
    for (QTextBlock x = a->begin(), y = b->begin(); x.isValid(); x = x.next(), y = y.next()) {
        if (x.text() != y.text() || x.blockFormat() != y.blockFormat() ||
            x.charFormat() != y.charFormat() || x.textFormats() != y.textFormats())
            return false;
    }
    return true;
}

void putThroughParser(QPlainTextEdit *pane, const QByteArray &chunk, bool hex)
{
    QString html;
    bool lineFeedParagraph = false;
    if (hex) {
        for (const char c : chunk)
            html += QString::asprintf(" 0x%02x", uchar(c));
    } else {
        const bool holdsMarkup = chunk.contains('<') || chunk.contains('&');
        QString text;
        for (const char c : holdsMarkup ? chunk.mid(markup::windowStart(chunk)) : chunk)
            text += uchar(c) == 0x0a ? '\r' : (uchar(c) < 0x20 || uchar(c) > 0x7f) ? '.' : c;
        for (int i = 0; i < text.size(); ++i) {
            if (text.at(i) == '\r' && i < text.size() - 1)
                html += QLatin1String("<br>");
            else
                html += text.at(i);
        }
        lineFeedParagraph = text.endsWith('\r');
        html = markup::limitNesting(html);
    }
    if (!html.isEmpty())
        pane->appendHtml(QLatin1String("<span style=\"color: #ffff00\">") + html +
                         QLatin1String("</span>"));
    if (lineFeedParagraph)
        pane->appendPlainText(QStringLiteral("\n"));
    // A deliberate copy of the console's own cut to its budget, not a call of it: the reference
    // must stay the plain rendering even when the console's cut is changed.
    QTextDocument *document = pane->document();
    const int excess = document->characterCount() - Console::maximumCharacters;
    if (excess > 0) {
        const QTextBlock survivor = document->findBlock(excess);
        const QTextBlockFormat blockFormat = survivor.blockFormat();
        const QTextCharFormat blockCharFormat = survivor.charFormat();
        QTextCursor cursor(document);
        cursor.beginEditBlock(); // spares laying out what the cursor passes
        cursor.setPosition(excess, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        if (cursor.blockFormat() != blockFormat)
            cursor.setBlockFormat(blockFormat);
        if (cursor.blockCharFormat() != blockCharFormat)
            cursor.setBlockCharFormat(blockCharFormat);
        cursor.endEditBlock();
    }
}

} // namespace consolereference
