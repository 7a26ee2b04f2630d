#pragma once

#include "terminalsettings.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QIcon;
class QLabel;

// Lets the user pick the serial port among the present ones and the line parameters.
class settingsdialog : public QDialog
{
    Q_OBJECT

public:
    // `icon` may be null. With `appendCurrentRate`, `baudRate` is offered once more at the end
    // of the standard rates and preselected there.
    settingsdialog(QWidget *parent, qint32 baudRate, const QIcon *icon, bool appendCurrentRate);

    // Writes the current choices into `settings`; false, and nothing written, when no port was
    // offered.
    bool storeChoices(TerminalSettings *settings);

private slots:
    void showPortInfo(int idx);

private:
    QWidget *createDeviceGroup();
    QWidget *createParameterGroup(qint32 baudRate, bool appendCurrentRate);
    void fillBaudRates(qint32 baudRate, bool appendCurrentRate);
    int listPorts();

    QList<qint32> standardRates;
    QComboBox *baudCombo;
    QComboBox *dataBitsCombo;
    QComboBox *stopBitsCombo;
    QComboBox *parityCombo;
    QComboBox *flowCombo;
    QComboBox *deviceCombo;
    QCheckBox *echoCheck;
    QLabel *deviceInfoLabel;
    qint32 fallbackRate;
};
