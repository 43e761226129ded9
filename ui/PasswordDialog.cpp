#include "ui/PasswordDialog.h"

#include "ui/PasswordFields.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>

PasswordDialog::PasswordDialog(const QString &username, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Change Password"));
    setAccessibleName(windowTitle());
    auto *layout = new QFormLayout(this);
    auto *heading = new QLabel(QStringLiteral("New password for %1").arg(username), this);
    heading->setTextFormat(Qt::PlainText);
    layout->addRow(heading);
    m_passwords = new PasswordFields(this, layout, QStringLiteral("&New password:"),
                                     "txtNewPassword", QStringLiteral("New password"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
