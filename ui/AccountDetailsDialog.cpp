#include "ui/AccountDetailsDialog.h"

#include "ui/AccountDetailsFields.h"

#include <QDialogButtonBox>
#include <QFormLayout>

AccountDetailsDialog::AccountDetailsDialog(const AccountRecord &record, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Edit %1").arg(record.username));
    setAccessibleName(QStringLiteral("Edit account"));
    auto *layout = new QFormLayout(this);
    m_details = new AccountDetailsFields(this, layout, record.male, record.email, record.gmFlags);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &AccountDetailsDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
