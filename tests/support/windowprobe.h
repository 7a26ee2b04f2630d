#pragma once

#include <QString>

class QAction;
class QIcon;
class QWidget;

namespace testsupport {

// Reaches the parts of the main window the way a user sees them: actions by their text,
// icons by their picture.
QAction *actionNamed(QWidget *window, const QString &text);
bool showsImage(const QIcon &icon, const QString &resource);
QString statusText(QWidget *window);

} // namespace testsupport
