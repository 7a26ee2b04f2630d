#pragma once

#include <QObject>

class QTimer;

namespace usbsim {

class Adapter;

// Sends back every byte it receives, as a loop-back plug would.
class EchoPersonality : public QObject
{
    Q_OBJECT
public:
    explicit EchoPersonality(Adapter *adapter); // the adapter is the parent
};

// A small sensor for trying a terminal without hardware: a banner when a terminal opens the
// port, a reading every second while it stays open, and answers to AT, ATI, AT+READ?.
// Lines end in CR LF; commands may end in CR, LF or CR LF.
class DemoPersonality : public QObject
{
    Q_OBJECT
public:
    explicit DemoPersonality(Adapter *owner); // the adapter is the parent

    static QByteArray reading(int n);             // the line for the n-th reading, without CR LF
    QByteArray answer(const QByteArray &command); // AT+READ? takes a reading

private:
    void onOpenChanged(bool open);
    void onBytes(const QByteArray &chunk);
    void sendBanner();
    void sendReading();

    Adapter *adapter;
    QTimer *readingTimer;
    QByteArray line;
    int readings = 0;
};

// Attaches the named personality ("none", "echo" or "demo") to the adapter; false for an
// unknown name.
bool attachPersonality(const QString &name, Adapter *adapter);

} // namespace usbsim
