#include "payload.h"

#include <QRandomGenerator>

#include <iterator>

namespace payload {

namespace {

constexpr quint32 Seed = 11;

QByteArray lines(qint64 size, const QByteArray &alphabet, int shortest, int longest)
{
    QRandomGenerator random(Seed);
    QByteArray text;
    text.reserve(int(size));
    while (text.size() < size) {
        const int length = random.bounded(shortest, longest + 1);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(random.bounded(alphabet.size()));
        text += "\r\n";
    }
    text.truncate(int(size));
    return text;
}

} // namespace

QByteArray text(qint64 size)
{
    return lines(size,
                 "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                 "      .,:;=+-*/()[]_#%",
                 10, 120);
}

QByteArray markup(qint64 size)
{
    QByteArray printable("\t");
    for (char c = 0x20; c < 0x7f; ++c)
        printable += c;
    return lines(size, printable, 0, 120);
}

QByteArray espLog(qint64 size, bool coloured)
{
    // Mostly information, some warnings and errors, as a device's log runs.
    static const struct
    {
        char level;
        const char *colour;
    } levels[] = {{'I', "32"}, {'I', "32"}, {'I', "32"}, {'I', "32"},
                  {'I', "32"}, {'I', "32"}, {'W', "33"}, {'E', "31"}};
    static const char *const tags[] = {"wifi", "esp_netif_handlers", "main", "phy_init", "gpio"};
    QRandomGenerator random(Seed);
    const QByteArray words = text(1000000);
    QByteArray log;
    log.reserve(int(size));
    qint64 milliseconds = 312;
    while (log.size() < size) {
        const auto &level = levels[random.bounded(int(std::size(levels)))];
        const int start = random.bounded(words.size() - 200);
        const int from = words.indexOf('\n', start) + 1;
        const QByteArray message = words.mid(from, words.indexOf('\r', from) - from);
        milliseconds += random.bounded(1, 50);
        const QByteArray line = level.level + QByteArray(" (") + QByteArray::number(milliseconds) +
                                ") " + tags[random.bounded(int(std::size(tags)))] + ": " + message;
        if (coloured)
            log += "\x1b[0;" + QByteArray(level.colour) + "m" + line + "\x1b[0m\r\n";
        else
            log += line + "\r\n";
    }
    log.truncate(int(size));
    return log;
}

} // namespace payload
