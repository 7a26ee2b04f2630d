#include "toolsdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

toolsdialog::toolsdialog(QWidget *parent, const ToolsSettings *tools) : QDialog(parent)
{
    auto *group = new QGroupBox(tr("Parameter"));
    auto *form = new QFormLayout;
    for (int i = 0; i < tools->functionKeys.size(); ++i) {
        const QString key = QStringLiteral("F") + QString::number(i + 1);
        auto *edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("key") + key);
        edit->setText(tools->functionKeys.at(i));
        edit->setMinimumWidth(300);
        keyEdits.append(edit);
        form->addRow(new QLabel(key), keyEdits.last());
    }
    group->setLayout(form);

    crlfCheckBox = new QCheckBox(tr("send CRLF instead of LF"));
    crlfCheckBox->setObjectName(QStringLiteral("crlfCheckBox"));
    crlfCheckBox->setChecked(tools->isCRLF);

    auto *buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Abort);
    connect(buttonBox, SIGNAL(accepted()), this, SLOT(accept()));
    connect(buttonBox, SIGNAL(rejected()), this, SLOT(reject()));

    auto *layout = new QVBoxLayout;
    layout->addWidget(group);
    layout->addWidget(crlfCheckBox);
    layout->addWidget(buttonBox);
    setLayout(layout);
}

toolsdialog::~toolsdialog() = default;

void toolsdialog::apply(ToolsSettings *tools) const
{
    tools->isCRLF = crlfCheckBox->isChecked();
    const int count = qMin(tools->functionKeys.size(), keyEdits.size());
    for (int i = 0; i < count; ++i)
        tools->functionKeys[i] = keyEdits.at(i)->text();
}
