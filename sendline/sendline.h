#pragma once

#include "lineparser.h"

#include <QStringList>
#include <QToolBar>

class Console;
class LineTap;
class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
struct TerminalSettings;

// A line to edit before it goes out: text with escapes or hex bytes, with a line ending of its
// own, sent whole by Enter. It sits under the pane as a bottom tool bar that cannot be moved,
// hidden until its action shows it. It takes the keyboard only when clicked into, so the pane
// keeps sending every key typed there.
class SendLine : public QToolBar
{
    Q_OBJECT

public:
    SendLine(QMainWindow *mainWindow, Console *pane, LineTap *lineTap,
             const TerminalSettings *terminalSettings);

    // Checkable: shows and hides the line.
    QAction *showAction() const { return shower; }

    static constexpr int historySize = 50;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void setShown(bool shown);
    void send();
    void rememberMode(int index);
    void rememberEnding(int index);

private:
    void reportFault(const lineparser::Parsed &parsed);
    void remember(const QString &line);
    void walkHistory(int step);
    void tell(const QString &message);

    QMainWindow *window;
    Console *console;
    LineTap *tap;
    const TerminalSettings *settings;
    QAction *shower;
    QComboBox *mode;
    QLineEdit *edit;
    QComboBox *ending;
    // Oldest first; `walked` is the entry shown, history.size() the line being typed (`draft`).
    QStringList history;
    int walked = 0;
    QString draft;
};
