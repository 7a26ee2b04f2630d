#pragma once

#include <QByteArray>

class QPlainTextEdit;
class QTextDocument;

// The rendering the console's fast path must match exactly.
namespace consolereference {

// The straightforward rendering: each chunk through the rich-text parser, then only the newest
// characters kept, the cut paragraph with its formats. Text with markup is first limited as the
// console limits what reaches the parser. `pane` holds at most 100 paragraphs.
void putThroughParser(QPlainTextEdit *pane, const QByteArray &chunk, bool hex);

// Whether two documents show alike: paragraphs, their texts and formats, the formats of their
// spans.
bool sameDocument(const QTextDocument *a, const QTextDocument *b);

} // namespace consolereference
