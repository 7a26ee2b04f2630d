#pragma once

#include "transfer.h"

#include <QProcess>

class LineTap;

// A file sent by XMODEM or YMODEM: lrzsz's sx or sb speaks the protocol, and korvix relays
// between it and the port, holding the line for as long as it runs, so that the protocol's bytes
// are neither shown nor logged and no key interrupts it.
class ProtocolTransfer : public Transfer
{
    Q_OBJECT

public:
    ProtocolTransfer(LineTap *tap, const SendOptions &options, qint64 fileSize, QObject *parent);

    // The program that speaks `protocol`; empty when lrzsz is not installed.
    static QString program(SendOptions::Protocol protocol);
    // How the log names it.
    static QString name(SendOptions::Protocol protocol);

    void begin() override;
    qint64 bytesDone() const override;
    void stop(bool lineGone) override;

private slots:
    void relayToProgram(const QByteArray &bytes);
    void relayToLine();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);

private:
    void end(const QString &failure);

    LineTap *tap;
    SendOptions::Protocol protocol;
    qint64 fileSize;
    qint64 relayed = 0;
    QProcess *process;
};
