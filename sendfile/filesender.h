#pragma once

#include "transfer.h"

#include <QElapsedTimer>
#include <QObject>

class LineTap;
class QAction;
class QLabel;
class QMainWindow;
class QWidget;

// Sends a file to the device, raw or by XMODEM or YMODEM, while everything else goes on: the
// status bar shows how far it got, with a button that cancels it. A lost device or a closed port
// ends it with one message box that waits for no answer, so the search for the device goes on.
class FileSender : public QObject
{
    Q_OBJECT

public:
    FileSender(QMainWindow *window, LineTap *tap);

    QAction *action() const { return sendAction; }
    // What the dialogs start once the user chose; false, with a message, when nothing is sent.
    bool send(const SendOptions &options);

private slots:
    void choose();
    void showProgress();
    void cancel();
    void onEnded(const QString &failure);
    void onClosed(bool lost);

private:
    void createProgress();
    void finish(const QString &logReason);
    QString sizeOf(qint64 bytes) const;
    void tell(const QString &message);
    void warn(const QString &message);

    QMainWindow *window;
    LineTap *tap;
    QAction *sendAction;
    Transfer *transfer = nullptr;
    SendOptions current;
    qint64 total = 0;
    QElapsedTimer elapsed;
    QWidget *progress = nullptr;
    QLabel *progressText = nullptr;
};
