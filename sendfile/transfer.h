#pragma once

#include <QObject>
#include <QString>

// How a file goes out, as the user chose it.
struct SendOptions
{
    enum Protocol { Raw, XmodemChecksum, XmodemCrc, Xmodem1K, Ymodem };

    QString path;
    Protocol protocol = Raw;
    // Raw only: the pause after every byte, and the further pause after every line feed.
    int characterDelayMs = 0;
    int lineDelayMs = 0;
};

// One file on its way out. It runs in the event loop, a piece at a time, and ends by itself
// (`ended`) or when stopped.
class Transfer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void begin() = 0;
    // The file's bytes that are out of korvix's hands.
    virtual qint64 bytesDone() const = 0;
    // At once, and without `ended`. `lineGone`: the port closed, nothing more may be written.
    virtual void stop(bool lineGone) = 0;

signals:
    // All sent when `failure` is empty.
    void ended(const QString &failure);
};
