#include "ui/RemoveAccountDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

RemoveAccountDialog::RemoveAccountDialog(const QString &question, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Remove Account"));
    setAccessibleName(windowTitle());
    auto *layout = new QVBoxLayout(this);
    auto *lblQuestion = new QLabel(question, this);
    lblQuestion->setObjectName(QStringLiteral("lblQuestion"));
    lblQuestion->setTextFormat(Qt::PlainText);
    layout->addWidget(lblQuestion);
    chkKeepBackup = new QCheckBox(QStringLiteral("&Keep the previous file as kAdd.txt.bak"), this);
    chkKeepBackup->setObjectName(QStringLiteral("chkKeepBackup"));
    chkKeepBackup->setAccessibleName(QStringLiteral("Keep the previous file as kAdd.txt.bak"));
    chkKeepBackup->setChecked(true);
    layout->addWidget(chkKeepBackup);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton *remove =
        buttons->addButton(QStringLiteral("&Remove"), QDialogButtonBox::AcceptRole);
    remove->setObjectName(QStringLiteral("cmdRemove"));
    // Enter must not remove an account by accident: Cancel is the default.
    buttons->button(QDialogButtonBox::Cancel)->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoveAccountDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool RemoveAccountDialog::keepBackup() const
{
    return chkKeepBackup->isChecked();
}
