#pragma once

#include <QObject>
#include <QString>

class LineTap;
class QAction;
class QWidget;
class Recorder;

// The Extras entry "Record session…": checked, it asks for a file and records to it; unchecked,
// it stops. The file is asked for every time (proposing the last one of this run), never stored.
class RecordAction : public QObject
{
    Q_OBJECT

public:
    RecordAction(LineTap *tap, QWidget *parentWidget, QObject *parent);

    QAction *action() const { return toggle; }
    // From the start of the run, as --record asks: checked without a question.
    void recordTo(const QString &path);

private slots:
    void onToggled(bool on);

private:
    void showChecked(bool on);

    Recorder *recorder;
    QAction *toggle;
    QWidget *dialogParent;
    QString lastPath;
};
