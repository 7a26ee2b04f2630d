#pragma once

#include "transfer.h"

#include <QDialog>

class QComboBox;
class QSpinBox;

// How the chosen file goes out: the protocol, and for raw bytes the two pauses. Opens with the
// last choices; the protocols that need lrzsz say how to get it where it is missing.
class SendFileDialog : public QDialog
{
    Q_OBJECT

public:
    SendFileDialog(QWidget *parent, const QString &file);

    SendOptions options() const;
    // Keeps the choices for the next file.
    void remember() const;

private slots:
    void enableDelays(int chosen);

private:
    QString path;
    QComboBox *protocol;
    QSpinBox *characterDelay;
    QSpinBox *lineDelay;
};
