#include "recordaction.h"

#include "recorder.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QSignalBlocker>

RecordAction::RecordAction(LineTap *tap, QWidget *parentWidget, QObject *parent)
    : QObject(parent)
    , recorder(new Recorder(tap, this))
    , toggle(new QAction(tr("Record session…"), this))
    , dialogParent(parentWidget)
    , lastPath(QDir::homePath() + QStringLiteral("/korvix.script"))
{
    toggle->setCheckable(true);
    toggle->setToolTip(tr("Record what passes on the line as an umockdev script"));
    connect(toggle, SIGNAL(toggled(bool)), this, SLOT(onToggled(bool)));
}

void RecordAction::recordTo(const QString &path)
{
    showChecked(true);
    lastPath = path;
    recorder->start(path);
}

void RecordAction::onToggled(bool on)
{
    if (!on) {
        recorder->stop();
        return;
    }
    const QString path = QFileDialog::getSaveFileName(dialogParent, tr("Record Session"), lastPath,
                                                      tr("umockdev scripts (*.script)"));
    if (path.isEmpty()) {
        showChecked(false);
        return;
    }
    lastPath = path;
    recorder->start(path);
}

// Without toggling: what the action shows already happened.
void RecordAction::showChecked(bool on)
{
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(on);
}
