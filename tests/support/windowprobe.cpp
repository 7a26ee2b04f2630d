#include "windowprobe.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QStatusBar>

namespace testsupport {

QAction *actionNamed(QWidget *window, const QString &text)
{
    const QList<QAction *> actions = window->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

bool showsImage(const QIcon &icon, const QString &resource)
{
    const QSize size(32, 32);
    return !icon.isNull() && icon.pixmap(size).toImage() == QIcon(resource).pixmap(size).toImage();
}

QString statusText(QWidget *window)
{
    auto *mainWindow = qobject_cast<QMainWindow *>(window);
    return mainWindow ? mainWindow->statusBar()->currentMessage() : QString();
}

} // namespace testsupport
