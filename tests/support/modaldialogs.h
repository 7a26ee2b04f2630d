#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class QDialog;
class QTimer;

namespace testsupport {

// Answers the modal dialogs that the code under test runs with exec(), one answer per dialog in
// the order they open, from inside the event loop that exec() spins. An answer must close its
// dialog (accept, reject, a button click, a key press).
class ModalDialogScript : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(QDialog *)>;

    explicit ModalDialogScript(QList<Answer> script);
    ~ModalDialogScript() override;

    int answered() const { return answeredCount; }
    // Class names of the dialogs answered, and their texts where they have one (message boxes).
    QStringList seen() const { return seenDialogs; }

private:
    void poll();

    QList<Answer> answers;
    QList<QPointer<QDialog>> handled;
    QStringList seenDialogs;
    int answeredCount = 0;
    QTimer *timer;
};

// Common answers.
void reject(QDialog *dialog);
void accept(QDialog *dialog);

} // namespace testsupport
