#include "ui/AddAccountDialog.h"

#include "ui/AccountDetailsFields.h"
#include "ui/PasswordFields.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

AddAccountDialog::AddAccountDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Add Account"));
    setAccessibleName(windowTitle());
    auto *layout = new QFormLayout(this);
    txtUsername = new QLineEdit(this);
    txtUsername->setObjectName(QStringLiteral("txtUsername"));
    txtUsername->setAccessibleName(QStringLiteral("Username"));
    layout->addRow(QStringLiteral("&Username:"), txtUsername);
    m_passwords = new PasswordFields(this, layout, QStringLiteral("&Password:"), "txtPassword",
                                     QStringLiteral("Password"));
    // A new account starts as the main window's entry does: male, no e-mail, no GM flags.
    m_details = new AccountDetailsFields(this, layout, true, QString(), 0);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddAccountDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    txtUsername->setFocus();
}

QString AddAccountDialog::username() const
{
    return txtUsername->text();
}
