#include "filesender.h"

#include "linetap.h"
#include "protocoltransfer.h"
#include "rawtransfer.h"
#include "sendfiledialog.h"
#include "settingsstore.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace {
const QString directoryKey = QStringLiteral("sendFile/directory");
} // namespace

FileSender::FileSender(QMainWindow *mainWindow, LineTap *lineTap)
    : QObject(mainWindow)
    , window(mainWindow)
    , tap(lineTap)
    , sendAction(new QAction(tr("Send file…"), this))
{
    connect(sendAction, SIGNAL(triggered()), this, SLOT(choose()));
}

void FileSender::choose()
{
    if (!tap->isOpen()) {
        tell(tr("Not connected: no file sent"));
        return;
    }
    const QString path = QFileDialog::getOpenFileName(
        window, tr("Send file"),
        settingsstore::extraValue(directoryKey, QDir::homePath()).toString());
    if (path.isEmpty())
        return;
    settingsstore::setExtraValue(directoryKey, QFileInfo(path).absolutePath());
    SendFileDialog dialog(window, path);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.remember();
    send(dialog.options());
}

bool FileSender::send(const SendOptions &options)
{
    if (transfer)
        return false;
    if (!tap->isOpen()) {
        tell(tr("Not connected: no file sent"));
        return false;
    }
    auto *file = new QFile(options.path, this);
    if (!file->open(QIODevice::ReadOnly)) {
        warn(
            tr("%1 cannot be read: %2.\nNothing was sent.").arg(options.path, file->errorString()));
        delete file;
        return false;
    }
    current = options;
    total = file->size();
    if (options.protocol == SendOptions::Raw) {
        transfer = new RawTransfer(tap, file, options, this);
    } else {
        delete file; // sx and sb read it themselves
        transfer = new ProtocolTransfer(tap, options, total, this);
    }
    connect(transfer, SIGNAL(ended(QString)), this, SLOT(onEnded(QString)));
    connect(tap, SIGNAL(closed(bool)), this, SLOT(onClosed(bool)));
    connect(tap, SIGNAL(ticked()), this, SLOT(showProgress()));
    sendAction->setEnabled(false);
    createProgress();
    elapsed.start();
    transfer->begin();
    return true;
}

// A permanent widget, so that the window's own messages do not hide it.
void FileSender::createProgress()
{
    progress = new QWidget(window);
    progress->setObjectName(QStringLiteral("sendFileProgress"));
    progressText = new QLabel(progress);
    auto *cancelButton = new QPushButton(tr("Cancel"), progress);
    cancelButton->setObjectName(QStringLiteral("sendFileCancel"));
    // The keyboard stays with the pane.
    cancelButton->setFocusPolicy(Qt::NoFocus);
    connect(cancelButton, SIGNAL(clicked()), this, SLOT(cancel()));
    auto *layout = new QHBoxLayout(progress);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(progressText);
    layout->addWidget(cancelButton);
    window->statusBar()->addPermanentWidget(progress);
    showProgress();
}

void FileSender::showProgress()
{
    if (!transfer)
        return;
    const qint64 done = transfer->bytesDone();
    const double seconds = elapsed.isValid() ? double(elapsed.nsecsElapsed()) / 1e9 : 0.0;
    const qint64 rate = seconds > 0 ? qint64(double(done) / seconds) : 0;
    const qint64 left = rate > 0 ? (total - done) / rate : 0;
    progressText->setText(
        tr("%1: %2 of %3, %4/s, %5:%6 left")
            .arg(QFileInfo(current.path).fileName(), sizeOf(done), sizeOf(total), sizeOf(rate))
            .arg(left / 60)
            .arg(left % 60, 2, 10, QLatin1Char('0')));
}

void FileSender::cancel()
{
    if (!transfer)
        return;
    const qint64 done = transfer->bytesDone();
    transfer->stop(false);
    tell(tr("Cancelled sending %1 after %2 of %3")
             .arg(QFileInfo(current.path).fileName(), sizeOf(done), sizeOf(total)));
    finish(QStringLiteral("cancelled"));
}

void FileSender::onEnded(const QString &failure)
{
    const QString name = QFileInfo(current.path).fileName();
    if (failure.isEmpty()) {
        tell(tr("Sent %1: %2 in %3 s")
                 .arg(name, sizeOf(total))
                 .arg(double(elapsed.nsecsElapsed()) / 1e9, 0, 'f', 1));
        finish(QString());
        return;
    }
    warn(tr("Sending %1 failed after %2 of %3: %4")
             .arg(name, sizeOf(transfer->bytesDone()), sizeOf(total), failure));
    finish(QStringLiteral("failed"));
}

void FileSender::onClosed(bool lost)
{
    if (!transfer)
        return;
    const qint64 done = transfer->bytesDone();
    transfer->stop(true);
    const QString name = QFileInfo(current.path).fileName();
    if (lost)
        warn(tr("Sending %1 stopped: the device was lost after %2 of %3.")
                 .arg(name, sizeOf(done), sizeOf(total)));
    else
        warn(tr("Sending %1 stopped: the port was closed after %2 of %3.")
                 .arg(name, sizeOf(done), sizeOf(total)));
    finish(QLatin1String(lost ? "device lost" : "port closed"));
}

// `logReason` is empty when the file went out whole.
void FileSender::finish(const QString &logReason)
{
    // In the log, where the protocol's bytes would have been.
    if (current.protocol != SendOptions::Raw) {
        const QString what = QFileInfo(current.path).fileName() + QStringLiteral(" by ") +
                             ProtocolTransfer::name(current.protocol);
        const QString note =
            logReason.isEmpty()
                ? QStringLiteral("\n[korvix: sent %1, %2 bytes]\n").arg(what).arg(total)
                : QStringLiteral("\n[korvix: sending %1 stopped: %2]\n").arg(what, logReason);
        emit tap->logNote(note.toUtf8());
    }
    disconnect(tap, nullptr, this, nullptr);
    // Not deleted at once: it may have ended from inside one of its own calls.
    transfer->deleteLater();
    transfer = nullptr;
    window->statusBar()->removeWidget(progress);
    progress->deleteLater();
    progress = nullptr;
    sendAction->setEnabled(true);
}

QString FileSender::sizeOf(qint64 bytes) const
{
    return QLocale().formattedDataSize(bytes);
}

void FileSender::tell(const QString &message)
{
    window->statusBar()->showMessage(message);
}

// A message box that blocks nothing: the display, the log and the search for a lost device go
// on while it waits to be read.
void FileSender::warn(const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("korvix"), message,
                                QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
