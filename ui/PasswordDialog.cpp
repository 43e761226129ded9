#include "ui/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit *makePasswordBox(QWidget *dialog, const char *name, const QString &accessibleName)
{
    auto *box = new QLineEdit(dialog);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    // Nothing of a password shows, not even its length, as at kadd's prompt.
    box->setEchoMode(QLineEdit::NoEcho);
    return box;
}

} // namespace

PasswordDialog::PasswordDialog(const QString &username, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Change Password"));
    setAccessibleName(windowTitle());
    auto *layout = new QFormLayout(this);
    auto *heading = new QLabel(QStringLiteral("New password for %1").arg(username), this);
    heading->setTextFormat(Qt::PlainText);
    layout->addRow(heading);
    txtNewPassword = makePasswordBox(this, "txtNewPassword", QStringLiteral("New password"));
    txtRepeatPassword =
        makePasswordBox(this, "txtRepeatPassword", QStringLiteral("New password again"));
    layout->addRow(QStringLiteral("&New password:"), txtNewPassword);
    layout->addRow(QStringLiteral("&Again:"), txtRepeatPassword);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString PasswordDialog::password() const
{
    return txtNewPassword->text();
}

QString PasswordDialog::repeated() const
{
    return txtRepeatPassword->text();
}
