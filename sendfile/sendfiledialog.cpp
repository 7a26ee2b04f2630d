#include "sendfiledialog.h"

#include "protocoltransfer.h"
#include "settingsstore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>

namespace {

const QString protocolKey = QStringLiteral("sendFile/protocol");

// A pause in milliseconds, kept under its own name.
QString delayKey(const QString &name)
{
    return QStringLiteral("sendFile/") + name;
}

QSpinBox *delayBox(QWidget *parent, const QString &name)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, 10000);
    box->setSuffix(QStringLiteral(" ms"));
    box->setValue(settingsstore::extraValue(delayKey(name), 0).toInt());
    return box;
}

} // namespace

SendFileDialog::SendFileDialog(QWidget *parent, const QString &file)
    : QDialog(parent)
    , path(file)
    , protocol(new QComboBox(this))
    , characterDelay(delayBox(this, QStringLiteral("characterDelay")))
    , lineDelay(delayBox(this, QStringLiteral("lineDelay")))
{
    setWindowTitle(tr("Send file"));
    protocol->setObjectName(QStringLiteral("protocol"));
    protocol->addItems(
        {tr("Raw"), tr("XMODEM, checksum"), tr("XMODEM, CRC"), tr("XMODEM 1K"), tr("YMODEM")});
    auto *items = qobject_cast<QStandardItemModel *>(protocol->model());
    for (int p = SendOptions::XmodemChecksum; p <= SendOptions::Ymodem; ++p) {
        if (!ProtocolTransfer::program(SendOptions::Protocol(p)).isEmpty())
            continue;
        QStandardItem *item = items->item(p);
        item->setText(tr("%1 (install the package lrzsz)").arg(item->text()));
        item->setEnabled(false);
    }
    const int chosen = settingsstore::extraValue(protocolKey, SendOptions::Raw).toInt();
    if (items->item(chosen) && items->item(chosen)->isEnabled())
        protocol->setCurrentIndex(chosen);
    enableDelays(protocol->currentIndex());
    connect(protocol, SIGNAL(currentIndexChanged(int)), this, SLOT(enableDelays(int)));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Send"));
    connect(buttons, SIGNAL(accepted()), this, SLOT(accept()));
    connect(buttons, SIGNAL(rejected()), this, SLOT(reject()));

    auto *form = new QFormLayout(this);
    form->addRow(tr("File:"), new QLabel(QFileInfo(path).fileName()));
    form->addRow(tr("Protocol:"), protocol);
    form->addRow(tr("Pause after each character:"), characterDelay);
    form->addRow(tr("Pause after each line:"), lineDelay);
    form->addRow(buttons);
}

SendOptions SendFileDialog::options() const
{
    SendOptions options;
    options.path = path;
    options.protocol = SendOptions::Protocol(protocol->currentIndex());
    if (options.protocol == SendOptions::Raw) {
        options.characterDelayMs = characterDelay->value();
        options.lineDelayMs = lineDelay->value();
    }
    return options;
}

void SendFileDialog::remember() const
{
    settingsstore::setExtraValue(protocolKey, protocol->currentIndex());
    for (const QSpinBox *delay : {characterDelay, lineDelay})
        settingsstore::setExtraValue(delayKey(delay->objectName()), delay->value());
}

void SendFileDialog::enableDelays(int chosen)
{
    characterDelay->setEnabled(chosen == SendOptions::Raw);
    lineDelay->setEnabled(chosen == SendOptions::Raw);
}
