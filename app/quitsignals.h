#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a logout, `systemctl stop`, Ctrl+C, a closed terminal) end the
// program as closing its window does: the dialogs are cancelled and the windows closed, so the
// port is closed, the settings written and the log closed complete, with exit code 0. During the
// start-up dialog the window is closed before it is shown, so --forceLog leaves an existing log
// as it was. A second signal once closing has begun ends the program at once. Windows keeps the
// platform's default.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

private slots:
    void closeWindows();

private:
    QSocketNotifier *notifier = nullptr;
};
