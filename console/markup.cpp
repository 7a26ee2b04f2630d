#include "markup.h"

#include <QStringList>

namespace markup {

namespace {

// How far back the cut looks for the start of the tag it falls in.
constexpr int longestTag = 1024;
// The parser reads an entity's name up to its semicolon, nine characters at most.
constexpr int longestEntity = 9;

bool inEntityName(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

// Where the parser ends a tag's name.
bool endsName(const QString &html, int at)
{
    const QChar c = html.at(at);
    return c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('=') || c.isSpace() ||
           (c == QLatin1Char('/') && at + 1 < html.size() && html.at(at + 1) == QLatin1Char('>'));
}

// Elements the parser never lets hold others.
bool holdsNothing(const QString &name)
{
    return name == QLatin1String("br") || name == QLatin1String("hr") ||
           name == QLatin1String("img") || name == QLatin1String("meta");
}

// Elements that end an open one of their own kind instead of nesting in it.
bool replacesItsKind(const QString &name)
{
    return name == QLatin1String("p") || name == QLatin1String("li");
}

} // namespace

int windowStart(const QByteArray &bytes)
{
    const int earliest = qMax(0, bytes.size() - window);
    int tags = 0;
    for (int i = bytes.size() - 1; i >= earliest; --i) {
        if (bytes.at(i) == '<' && ++tags == mostTags)
            return i;
    }
    int start = earliest;
    // A line feed is rendered as a line-break tag, which ends any tag it falls in.
    for (int i = start - 1; i >= qMax(0, start - longestTag); --i) {
        const char c = bytes.at(i);
        if (c == '<') {
            start = i;
            break;
        }
        if (c == '>' || c == '\n')
            break;
    }
    for (int i = start - 1; i >= qMax(0, start - longestEntity); --i) {
        const char c = bytes.at(i);
        if (c == '&') {
            start = i;
            break;
        }
        if (!inEntityName(c))
            break;
    }
    return start;
}

QString limitNesting(const QString &html)
{
    const int length = html.size();
    QStringList open; // outermost first
    QString limited;
    int copied = 0;
    for (int at = html.indexOf(QLatin1Char('<')); at >= 0;
         at = html.indexOf(QLatin1Char('<'), at)) {
        const int tagStart = at++;
        while (at < length && html.at(at).isSpace())
            ++at;
        if (at < length && html.at(at) == QLatin1Char('!')) {
            const bool comment = html.midRef(at + 1, 2) == QLatin1String("--");
            const int end = comment ? html.indexOf(QLatin1String("-->"), at + 3)
                                    : html.indexOf(QLatin1Char('>'), at);
            at = end < 0 ? length : end + 1;
            continue;
        }
        const bool closing = at < length && html.at(at) == QLatin1Char('/');
        at += closing ? 1 : 0;
        const int nameStart = at;
        while (at < length && !endsName(html, at))
            ++at;
        const QString name = html.mid(nameStart, at - nameStart).toLower();
        bool selfClosed = false;
        for (; at < length && html.at(at) != QLatin1Char('>'); ++at)
            selfClosed = selfClosed || html.at(at) == QLatin1Char('/');
        ++at;

        if (closing) {
            const int element = open.lastIndexOf(name);
            if (element >= 0)
                open.erase(open.begin() + element, open.end());
        } else if (selfClosed || holdsNothing(name) ||
                   (replacesItsKind(name) && !open.isEmpty() && open.constLast() == name)) {
            continue;
        } else if (open.size() < deepestNesting) {
            open.append(name);
        } else {
            limited += html.midRef(copied, tagStart - copied) + QLatin1String("&lt;");
            copied = tagStart + 1;
        }
    }
    if (copied == 0)
        return html;
    return limited + html.midRef(copied);
}

} // namespace markup
