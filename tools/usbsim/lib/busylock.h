#pragma once

#include <QObject>

#include <memory>

class QLockFile;
class QTimer;

namespace usbsim {

// The LCK..<port> file another program holding the port would leave. Written by QLockFile in
// this process, so the pid is alive and the process name on its second line matches what
// QLockFile checks; touched regularly so it never grows older than QLockFile's 30 s
// staleness limit.
class BusyLock : public QObject
{
    Q_OBJECT
public:
    explicit BusyLock(QObject *parent);
    ~BusyLock() override;

    bool acquire(const QString &portName, QString *error);
    void release();
    bool isHeld() const { return lock != nullptr; }

private:
    void refresh();

    std::unique_ptr<QLockFile> lock;
    QString path;
    QTimer *refreshTimer;
};

} // namespace usbsim
