#include "protocoltransfer.h"

#include "linetap.h"

#include <QStandardPaths>

namespace {
// What a receiver takes for the sender giving up: a row of CAN bytes.
constexpr char cancelByte = '\x18';
constexpr int cancelCount = 8;
} // namespace

ProtocolTransfer::ProtocolTransfer(LineTap *lineTap, const SendOptions &options, qint64 size,
                                   QObject *parent)
    : Transfer(parent)
    , tap(lineTap)
    , protocol(options.protocol)
    , fileSize(size)
    , process(new QProcess(this))
{
    process->setProgram(program(protocol));
    // Binary, quiet. The receiver asks for a checksum or a CRC, and sx follows what it asks.
    QStringList arguments{QStringLiteral("-b"), QStringLiteral("-q")};
    if (protocol == SendOptions::Xmodem1K)
        arguments << QStringLiteral("-k");
    process->setArguments(arguments << options.path);
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, SIGNAL(readyReadStandardOutput()), this, SLOT(relayToLine()));
    connect(process, SIGNAL(finished(int, QProcess::ExitStatus)), this,
            SLOT(onFinished(int, QProcess::ExitStatus)));
    connect(process, SIGNAL(errorOccurred(QProcess::ProcessError)), this,
            SLOT(onError(QProcess::ProcessError)));
}

QString ProtocolTransfer::program(SendOptions::Protocol protocol)
{
    return QStandardPaths::findExecutable(protocol == SendOptions::Ymodem ? QStringLiteral("sb")
                                                                          : QStringLiteral("sx"));
}

QString ProtocolTransfer::name(SendOptions::Protocol protocol)
{
    switch (protocol) {
    case SendOptions::XmodemChecksum:
        return QStringLiteral("XMODEM");
    case SendOptions::XmodemCrc:
        return QStringLiteral("XMODEM-CRC");
    case SendOptions::Xmodem1K:
        return QStringLiteral("XMODEM-1K");
    case SendOptions::Ymodem:
        return QStringLiteral("YMODEM");
    case SendOptions::Raw:
        break;
    }
    return QStringLiteral("raw");
}

void ProtocolTransfer::begin()
{
    tap->claim();
    connect(tap, SIGNAL(received(QByteArray, qint64)), this, SLOT(relayToProgram(QByteArray)));
    process->start();
}

qint64 ProtocolTransfer::bytesDone() const
{
    // The protocol's framing makes a little more than the file; near enough for a progress.
    return qMin(relayed, fileSize);
}

void ProtocolTransfer::stop(bool lineGone)
{
    disconnect(tap, nullptr, this, nullptr);
    disconnect(process, nullptr, this, nullptr);
    process->kill();
    if (!lineGone)
        tap->write(QByteArray(cancelCount, cancelByte));
    tap->release();
}

void ProtocolTransfer::relayToProgram(const QByteArray &bytes)
{
    process->write(bytes);
}

void ProtocolTransfer::relayToLine()
{
    const QByteArray bytes = process->readAllStandardOutput();
    relayed += bytes.size();
    tap->write(bytes);
}

void ProtocolTransfer::onFinished(int exitCode, QProcess::ExitStatus status)
{
    relayToLine();
    if (status == QProcess::NormalExit && exitCode == 0)
        end(QString());
    else
        end(tr("%1 gave up (exit code %2)").arg(process->program()).arg(exitCode));
}

void ProtocolTransfer::onError(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart)
        end(tr("%1 could not be started").arg(program(protocol)));
}

void ProtocolTransfer::end(const QString &failure)
{
    disconnect(tap, nullptr, this, nullptr);
    disconnect(process, nullptr, this, nullptr);
    tap->release();
    emit ended(failure);
}
