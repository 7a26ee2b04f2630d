#include "umockdevscript.h"

#include <QFile>

namespace umockdevscript {

namespace {

constexpr char Escape = '^';
constexpr char EscapedEscape = '`';
constexpr int ControlOffset = 64; // '^@' is 0, '^_' is 31
constexpr int MaxValueDigits = 15;

bool carriesBytes(char code)
{
    return code == 'r' || code == 'w';
}

// "VALUE DATA" after the code and its space: empty when it is that, else what is wrong.
QString readValueAndData(const QByteArray &rest, Operation *operation)
{
    const int space = rest.indexOf(' ');
    const QByteArray digits = space < 0 ? rest : rest.left(space);
    bool number = !digits.isEmpty() && digits.size() <= MaxValueDigits;
    for (const char c : digits)
        number = number && c >= '0' && c <= '9';
    if (!number)
        return QStringLiteral("\"%1\" is not a number").arg(QString::fromLatin1(digits));
    operation->value = digits.toLongLong();
    // The data of a fuzz line, "-" by custom, means nothing.
    if (operation->code == 'f')
        return operation->value > 100 ? QStringLiteral("a fuzz above 100 percent") : QString();
    if (space < 0 || space + 1 == rest.size())
        return QStringLiteral("no data after the value");
    if (!unescape(rest.mid(space + 1), &operation->data))
        return QStringLiteral("a '^' that escapes nothing");
    return QString();
}

// A line that holds an operation: empty when it is one, else what is wrong with it.
QString readOperation(const QByteArray &text, Operation *operation)
{
    operation->code = text.at(0);
    if (!carriesBytes(operation->code) && operation->code != 'f' && operation->code != 'd')
        return QStringLiteral("unknown operation '%1'").arg(QLatin1Char(operation->code));
    if (text.size() < 2 || text.at(1) != ' ')
        return QStringLiteral("no space after the operation");
    return readValueAndData(text.mid(2), operation);
}

} // namespace

QByteArray escape(const QByteArray &bytes)
{
    QByteArray text;
    appendEscaped(&text, bytes);
    return text;
}

// Sized once and filled in place: a recording escapes all that a fast device sends.
void appendEscaped(QByteArray *text, const QByteArray &bytes)
{
    int escapes = 0;
    for (const char c : bytes)
        escapes += c == Escape || static_cast<unsigned char>(c) < ' ' ? 1 : 0;
    const int start = text->size();
    text->resize(start + bytes.size() + escapes);
    char *out = text->data() + start;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= ' ' && c != Escape) {
            *out++ = c;
        } else {
            *out++ = Escape;
            *out++ = c == Escape ? EscapedEscape : char(byte + ControlOffset);
        }
    }
}

bool unescape(const QByteArray &text, QByteArray *bytes)
{
    bytes->clear();
    bytes->reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != Escape) {
            bytes->append(text.at(i));
            continue;
        }
        if (++i == text.size())
            return false;
        const char escaped = text.at(i);
        if (escaped == EscapedEscape)
            bytes->append(Escape);
        else if (escaped >= '@' && escaped <= '_')
            bytes->append(char(escaped - ControlOffset));
        else
            return false;
    }
    return true;
}

void appendLine(QByteArray *text, char code, qint64 value, const QByteArray &bytes)
{
    text->append(code).append(' ').append(QByteArray::number(value)).append(' ');
    appendEscaped(text, bytes);
    text->append('\n');
}

Script parse(const QByteArray &text)
{
    Script script;
    const QList<QByteArray> lines = text.split('\n');
    for (int index = 0; index < lines.size(); ++index) {
        const QByteArray &current = lines.at(index);
        // Blank lines, which umockdev passes over as white space, and comments.
        if (current.isEmpty() || current.startsWith('#'))
            continue;
        if (current.startsWith('Q'))
            break;
        Operation operation;
        operation.line = index + 1;
        script.error = readOperation(current, &operation);
        if (!script.error.isEmpty()) {
            script.errorLine = operation.line;
            break;
        }
        if (operation.code == 'd')
            script.device = operation.data;
        else
            script.operations.append(operation);
    }
    return script;
}

Script read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Script unread;
        unread.error = file.errorString();
        return unread;
    }
    return parse(file.readAll());
}

} // namespace umockdevscript
