#include "reference.h"

#include "console.h"

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
    for (int i = 0; i < chunk.size(); ++i) {
        const auto byte = uchar(chunk.at(i));
        if (hex)
            html += QString::asprintf(" 0x%02x", byte);
        else if (byte == 0x0a && i < chunk.size() - 1)
            html += QLatin1String("<br>");
        else if (byte == 0x0a)
            html += QLatin1Char('\r'), lineFeedParagraph = true;
        else
            html += (byte < 0x20 || byte > 0x7f) ? QLatin1Char('.') : QLatin1Char(char(byte));
    }
    if (!html.isEmpty())
        pane->appendHtml(QLatin1String("<span style=\"color: #ffff00\">") + html +
                         QLatin1String("</span>"));
    if (lineFeedParagraph)
        pane->appendPlainText(QStringLiteral("\n"));
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
