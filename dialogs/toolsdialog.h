#pragma once

#include "terminalsettings.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QLineEdit;

// Edits the function-key strings and the line ending.
class toolsdialog : public QDialog
{
    Q_OBJECT

public:
    toolsdialog(QWidget *parent, const ToolsSettings *tools);
    ~toolsdialog() override;

    // `tools` must have as many function keys as the record the dialog was built from.
    void apply(ToolsSettings *tools) const;

private:
    QCheckBox *crlfCheckBox;
    QList<QLineEdit *> keyEdits; // the edits are child widgets; the list only refers to them
};
