#include "settingsdialog.h"

#include "portbusy.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <initializer_list>

namespace {

// Index i of each combo box maps to element i.
const QSerialPort::DataBits dataBitsChoices[] = {QSerialPort::Data5, QSerialPort::Data6,
                                                 QSerialPort::Data7, QSerialPort::Data8};
const QSerialPort::StopBits stopBitsChoices[] = {QSerialPort::OneStop, QSerialPort::TwoStop};
// Mark is listed before space, the reverse of the enumerators' order.
const QSerialPort::Parity parityChoices[] = {QSerialPort::NoParity, QSerialPort::EvenParity,
                                             QSerialPort::OddParity, QSerialPort::MarkParity,
                                             QSerialPort::SpaceParity};
const QSerialPort::FlowControl flowChoices[] = {
    QSerialPort::NoFlowControl, QSerialPort::HardwareControl, QSerialPort::SoftwareControl};

// What each entry of the port list carries as its data, a list of texts in this order.
enum PortDetail {
    Name,
    Description,
    Manufacturer,
    SerialNumber,
    Location, // the system location, which the record takes as the port to open
    VendorId,
    ProductId,
    Status,
    DetailCount
};

template<typename T, std::size_t N> T choiceAt(const T (&choices)[N], int index)
{
    return choices[qBound(0, index, int(N) - 1)];
}

QString orNotAvailable(const QString &text, const QString &notAvailable)
{
    return text.isEmpty() ? notAvailable : text;
}

QString identifierText(quint16 identifier, const QString &notAvailable)
{
    return identifier ? QString::number(identifier, 16) : notAvailable;
}

// Named as its member, so that tests find it whatever the layout.
QComboBox *comboWith(const char *name, std::initializer_list<const char *> entries, int current)
{
    auto *combo = new QComboBox;
    combo->setObjectName(QLatin1String(name));
    for (const char *entry : entries)
        combo->addItem(QLatin1String(entry));
    combo->setCurrentIndex(current);
    return combo;
}

} // namespace

settingsdialog::settingsdialog(QWidget *parent, qint32 baudRate, const QIcon *icon,
                               bool appendCurrentRate)
    : QDialog(parent), fallbackRate(115200)
{
    if (icon)
        setWindowIcon(*icon);

    QWidget *deviceGroup = createDeviceGroup();
    standardRates = QSerialPortInfo::standardBaudRates();
    // Connected before the list is filled, so that the first port's details show at once.
    connect(deviceCombo, SIGNAL(currentIndexChanged(int)), this, SLOT(showPortInfo(int)));
    QWidget *parameterGroup = createParameterGroup(baudRate, appendCurrentRate);

    auto *buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttonBox, SIGNAL(accepted()), this, SLOT(accept()));

    auto *groups = new QHBoxLayout;
    groups->addWidget(deviceGroup);
    groups->addWidget(parameterGroup);
    auto *mainLayout = new QVBoxLayout;
    mainLayout->addLayout(groups);
    mainLayout->addWidget(buttonBox);
    setLayout(mainLayout);

    if (listPorts() == 0) {
        deviceInfoLabel->setText(QStringLiteral("<img src=:/images/application-exit>") +
                                 tr("No Device present.\nProgram will be closed."));
        qDebug("no device present");
    }
}

QWidget *settingsdialog::createDeviceGroup()
{
    deviceCombo = new QComboBox;
    deviceCombo->setObjectName(QStringLiteral("deviceCombo"));
    deviceInfoLabel = new QLabel;
    deviceInfoLabel->setObjectName(QStringLiteral("deviceInfoLabel"));
    echoCheck = new QCheckBox(tr("local echo enabled"));
    echoCheck->setObjectName(QStringLiteral("echoCheck"));
    // Checked at every opening: the dialog starts from its defaults, not from the record.
    echoCheck->setChecked(true);

    auto *layout = new QVBoxLayout;
    layout->addWidget(deviceCombo);
    layout->addWidget(deviceInfoLabel);
    layout->addWidget(echoCheck);
    layout->addStretch(0);
    auto *group = new QGroupBox(tr("Device"));
    group->setLayout(layout);
    return group;
}

QWidget *settingsdialog::createParameterGroup(qint32 baudRate, bool appendCurrentRate)
{
    baudCombo = new QComboBox;
    baudCombo->setObjectName(QStringLiteral("baudCombo"));
    fillBaudRates(baudRate, appendCurrentRate);
    dataBitsCombo = comboWith("dataBitsCombo", {"5", "6", "7", "8"}, 3);
    stopBitsCombo = comboWith("stopBitsCombo", {"1", "2"}, 0);
    parityCombo = comboWith("parityCombo", {"none", "even", "odd", "mark", "space"}, 0);
    flowCombo = comboWith("flowCombo", {"none", "RTS/CTS", "XON/XOFF"}, 0);

    auto *layout = new QFormLayout;
    layout->addRow(new QLabel(tr("baudrate")), baudCombo);
    layout->addRow(new QLabel(tr("databits")), dataBitsCombo);
    layout->addRow(new QLabel(tr("stopbits")), stopBitsCombo);
    layout->addRow(new QLabel(tr("parity")), parityCombo);
    layout->addRow(new QLabel(tr("flowcontrol")), flowCombo);
    auto *group = new QGroupBox(tr("Parameter"));
    group->setLayout(layout);
    return group;
}

void settingsdialog::fillBaudRates(qint32 baudRate, bool appendCurrentRate)
{
    for (const qint32 rate : qAsConst(standardRates))
        baudCombo->addItem(QString::number(rate));
    // Appended also when it is a standard rate, which is then listed twice; the last is chosen.
    if (appendCurrentRate) {
        fallbackRate = baudRate;
        baudCombo->addItem(QString::number(baudRate));
        baudCombo->setCurrentIndex(standardRates.size());
    } else {
        baudCombo->setCurrentIndex(qMax(0, standardRates.lastIndexOf(baudRate)));
    }
}

int settingsdialog::listPorts()
{
    // Translated once per run and then reused.
    static const QString notAvailable = QObject::tr("N/A");

    deviceCombo->clear();
    int listed = 0;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        QStringList details;
        details.reserve(DetailCount);
        details.insert(Name, port.portName());
        details.insert(Description, orNotAvailable(port.description(), notAvailable));
        details.insert(Manufacturer, orNotAvailable(port.manufacturer(), notAvailable));
        details.insert(SerialNumber, orNotAvailable(port.serialNumber(), notAvailable));
        details.insert(Location, port.systemLocation());
        details.insert(VendorId, identifierText(port.vendorIdentifier(), notAvailable));
        details.insert(ProductId, identifierText(port.productIdentifier(), notAvailable));
        details.insert(Status, portbusy::isBusy(port) ? tr("busy") : tr("available"));
        deviceCombo->addItem(details.at(Name), details);
        ++listed;
    }
    return listed;
}

void settingsdialog::showPortInfo(int idx)
{
    // The list is being cleared: the details stay as they are.
    if (idx == -1)
        return;
    const QStringList details = deviceCombo->itemData(idx).toStringList();
    const auto line = [&details](const QString &label, const char *format,
                                 PortDetail detail) -> QString {
        return label + QLatin1String(format).arg(details.value(detail));
    };
    const QString text = line(tr("Description"), ": %1\n", Description) +
                         line(tr("Manufacturer"), ": %1\n", Manufacturer) +
                         line(tr("Serial number"), ": %1\n", SerialNumber) +
                         line(tr("Location"), ": %1\n", Location) +
                         line(tr("Vendor Identifier"), ": 0x%1\n", VendorId) +
                         line(tr("Product Identifier"), ": 0x%1\n", ProductId) +
                         line(tr("Status"), ": %1\n", Status);
    deviceInfoLabel->setText(text);
}

bool settingsdialog::storeChoices(TerminalSettings *settings)
{
    if (deviceCombo->count() == 0)
        return false;

    settings->dataBits = choiceAt(dataBitsChoices, dataBitsCombo->currentIndex());
    settings->stopBits = choiceAt(stopBitsChoices, stopBitsCombo->currentIndex());
    settings->parity = choiceAt(parityChoices, parityCombo->currentIndex());
    settings->flowControl = choiceAt(flowChoices, flowCombo->currentIndex());
    const int rateIndex = baudCombo->currentIndex();
    settings->baudRate = (rateIndex >= 0 && rateIndex < standardRates.size())
                             ? standardRates.at(rateIndex)
                             : fallbackRate;
    settings->portName = deviceCombo->currentData().toStringList().value(Location);
    settings->localEchoEnabled = echoCheck->isChecked();

    qDebug().nospace() << "baud " << settings->baudRate;
    qDebug().noquote().nospace() << "name " << settings->portName;
    return true;
}
