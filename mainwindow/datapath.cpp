// The bytes between the port, the console and the log file.
#include "mainwindow.h"

#include "console.h"
#include "linetap.h"

#include <QAction>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSerialPort>

#include <cerrno>

namespace {
// Off by default; the throughput benchmark switches them on to time the display ticks: when each
// began, with the bytes it showed, and how many microseconds their rendering took.
Q_LOGGING_CATEGORY(receiveTick, "korvix.receive.tick", QtWarningMsg)
Q_LOGGING_CATEGORY(receiveRender, "korvix.receive.render", QtWarningMsg)
} // namespace

void MainWindow::readData()
{
    // Everything, every time: a device is never held back (a real UART would overrun), and no
    // byte waits in the port where closing it would throw it away unlogged. The display keeps
    // up because it only renders what stays on screen.
    const QByteArray chunk = serial->readAll();
    tap->noteRead(chunk, LineTap::now());
    // A transfer's protocol owns the line: its bytes are neither shown nor logged.
    if (tap->isClaimed())
        return;
    receiveBuffer.append(chunk);
    // Not flushed here: a fast device would pay a system call for every read. The tick does it.
    if (logActive && logFile.is_open() && !chunk.isEmpty()) {
        logFile.write(chunk.constData(), chunk.size());
        logUnflushed = true;
        if (!logFile.good())
            abandonLog(qt_error_string(errno));
    }
}

void MainWindow::onTimer()
{
    if (serial->isOpen()) {
        qCDebug(receiveTick) << receiveBuffer.size();
        QElapsedTimer rendering;
        rendering.start();
        console->putData(receiveBuffer);
        qCDebug(receiveRender) << rendering.nsecsElapsed() / 1000;
        receiveBuffer.clear();
    }
    // Also when the port closed since the last read: the bytes read before are on disk within a
    // tick whatever happens to the device.
    flushLog();
    tap->noteTick();
}

// Once a tick at most: whoever follows the log (`tail -f`, or a reader after a crash) is at most
// a tick behind the device, and a fast device costs one flush a tick, not one a read.
void MainWindow::flushLog()
{
    if (!logUnflushed)
        return;
    logUnflushed = false;
    logFile.flush();
    if (!logFile.good())
        abandonLog(qt_error_string(errno));
    // Writes into a file whose directory was removed succeed and land nowhere anyone can read.
    else if (!QFileInfo::exists(logFileName))
        abandonLog(QStringLiteral("the file was removed"));
}

// A full disk, a file gone or a failing device ends the writing, never the display or the port.
// Logging stays on with no file, as after a failed open: one trace, and the next onLog switches
// it off.
void MainWindow::abandonLog(const QString &reason)
{
    qDebug().noquote().nospace() << "logging to " << logFileName << " failed: " << reason;
    logFile.close();
    logUnflushed = false;
}

void MainWindow::writeData(const QByteArray &bytes)
{
    // Keys would garble a transfer's protocol.
    if (tap->isClaimed())
        return;
    const QByteArray lineEnd =
        settings.tools.isCRLF ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    QByteArray out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        if (c == '\r')
            out.append(lineEnd);
        else
            out.append(c);
    }
    serial->write(out);
    tap->noteWritten(out);
}

// In place of a transfer's bytes, which are not logged, the log says what went on.
void MainWindow::writeLogNote(const QByteArray &line)
{
    if (!logActive || !logFile.is_open())
        return;
    logFile.write(line.constData(), line.size());
    logUnflushed = true;
}

void MainWindow::onClear()
{
    console->clear();
}

void MainWindow::onLog()
{
    if (logActive) {
        // A failed close leaves the stream's failbit set; nothing else to report.
        if (logFile.is_open())
            logFile.close();
        logActive = false;
        logUnflushed = false;
        logAction->setIcon(QIcon(QStringLiteral(":/images/document-save-2.png")));
        return;
    }
    // A cancelled dialog gives an empty name, whose open fails: logging is then on with no file.
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Select File"), QDir::homePath() + QStringLiteral("/korvix.log"),
        QStringLiteral("logfile (*.log)"));
    startLogging(fileName);
}

void MainWindow::startLogging(const QString &fileName)
{
    // Created or truncated: each start of logging begins an empty file.
    logFile.open(fileName.toUtf8().constData(), std::ios_base::out | std::ios_base::binary);
    logFileName = fileName;
    qDebug().noquote().nospace() << "logging to " << fileName
                                 << (logFile.is_open() ? "" : " failed: the file cannot be opened");
    logActive = true;
    logAction->setIcon(QIcon(QStringLiteral(":/images/process-stop.png")));
}
