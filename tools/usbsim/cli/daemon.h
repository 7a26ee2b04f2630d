#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <memory>

class QFile;
class QLocalServer;
class QLocalSocket;

namespace usbsim {

class Adapter;

// What `usbsim plug` hands to the daemon it starts.
struct DaemonConfig
{
    QString id;
    QString portName;
    QString personality = QStringLiteral("none");
    QString captureFile;
    QJsonObject identity; // vendorId, productId, serialNumber, manufacturer, product

    QJsonObject toJson() const;
    static DaemonConfig fromJson(const QJsonObject &object);
};

// The process behind one adapter started with `usbsim plug`: holds the adapter and answers
// the other adapter commands over a unix socket in the sandbox's state directory.
class AdapterDaemon : public QObject
{
    Q_OBJECT
public:
    AdapterDaemon(const DaemonConfig &config, QObject *parent = nullptr);
    ~AdapterDaemon() override;

    bool start(QString *error);

private:
    struct Waiter
    {
        QPointer<QLocalSocket> socket;
        qint64 receivedTarget = -1; // waits for received bytes; otherwise for the queue to empty
    };

    bool claimStateDir(QString *error);
    bool openCapture(const QString &path, QString *error);
    void acceptConnection();
    void readRequest(QLocalSocket *socket);
    QJsonObject handle(const QJsonObject &request, QLocalSocket *socket);
    QJsonObject status() const;
    QJsonObject send(const QJsonObject &request, QLocalSocket *socket);
    QJsonObject capture(const QJsonObject &request);
    QJsonObject waitReceived(const QJsonObject &request, QLocalSocket *socket);
    void onBytesReceived(const QByteArray &chunk);
    void settleWaiters(bool unplugged = false);
    void answer(QLocalSocket *socket, const QJsonObject &reply);

    DaemonConfig config;
    Adapter *adapter;
    QLocalServer *server;
    std::unique_ptr<QFile> captureFile;
    QList<Waiter> waiters;
    qint64 receivedTotal = 0;
    bool ownsStateDir = false;
};

// Runs the daemon until it is removed or gets SIGTERM; reports how start-up went on `readyFd`
// (see launcher.h). Returns the process exit status.
int runDaemon(const QJsonObject &config, int readyFd);

} // namespace usbsim
