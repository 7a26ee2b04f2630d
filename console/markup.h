#pragma once

#include <QByteArray>
#include <QString>

// What of a tick's data the rich-text parser gets to see. Markup in received text is rendered as
// markup, but a device may send any amount of it, nested to any depth, and the parser's time
// grows with the amount times the depth: a tick would take seconds, nothing would be read
// meanwhile, and the next tick would be longer still. So, on purpose, rendering goes this far
// and no further:
// - Once a tick's data holds markup, only its newest part is rendered: its newest `window`
//   bytes, from its `mostTags`-th last tag on if that is later. A cut by size moves back to the
//   start of a tag or an entity that it would split. Markup opened before the cut no longer
//   applies. (Only the newest Console::maximumCharacters characters and 100 paragraphs can stay
//   in the pane anyway.)
// - Past `deepestNesting` elements open at once, further start tags show as text.
// - Nothing that markup names (an image, a style sheet) is ever loaded: a device could name a
//   file without end or one that never answers.
// Below these limits the pane shows exactly what the parser makes of the data.
namespace markup {

constexpr int window = 16384;
constexpr int mostTags = 128;
constexpr int deepestNesting = 64;

// Where the rendered part of a tick's data begins.
int windowStart(const QByteArray &bytes);

// `html` as the parser would get it, with the start tags beyond the nesting limit shown as text.
QString limitNesting(const QString &html);

} // namespace markup
