#include "modaldialogs.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

namespace testsupport {

ModalDialogScript::ModalDialogScript(QList<Answer> script)
    : answers(std::move(script)), timer(new QTimer(this))
{
    connect(timer, &QTimer::timeout, this, &ModalDialogScript::poll);
    timer->start(10);
}

ModalDialogScript::~ModalDialogScript() = default;

void ModalDialogScript::poll()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || handled.contains(dialog) || answers.isEmpty())
        return;
    handled.append(dialog);
    QString description = QString::fromLatin1(dialog->metaObject()->className());
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        description += QLatin1String(": ") + box->text();
    seenDialogs.append(description);
    ++answeredCount;
    // Answered from a queued call, not from this timer's slot: Qt never re-enters a timer's
    // slot, so a dialog that the answer itself opens would otherwise go unseen.
    const QPointer<QDialog> target(dialog);
    const Answer answer = answers.takeFirst();
    QMetaObject::invokeMethod(
        this,
        [target, answer] {
            if (target)
                answer(target);
        },
        Qt::QueuedConnection);
}

void reject(QDialog *dialog)
{
    dialog->reject();
}

void accept(QDialog *dialog)
{
    dialog->accept();
}

} // namespace testsupport
