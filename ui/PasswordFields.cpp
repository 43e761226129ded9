#include "ui/PasswordFields.h"

#include "core/PasswordGenerator.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit *makePasswordBox(QWidget *dialog, const char *name, const QString &accessibleName)
{
    auto *box = new QLineEdit(dialog);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    // Bullets show how much was typed; the text itself only while Show is on.
    box->setEchoMode(QLineEdit::Password);
    // Room for the longest password the rules allow, shown in clear.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 16);
    return box;
}

} // namespace

PasswordFields::PasswordFields(QWidget *dialog, QFormLayout *layout, const QString &caption,
                               const char *firstName, const QString &accessibleName)
    : QObject(dialog)
{
    txtPassword = makePasswordBox(dialog, firstName, accessibleName);
    txtRepeatPassword = makePasswordBox(dialog, "txtRepeatPassword",
                                        QStringLiteral("%1 again").arg(accessibleName));
    layout->addRow(caption, txtPassword);
    layout->addRow(QStringLiteral("&Again:"), txtRepeatPassword);

    chkShow = new QCheckBox(QStringLiteral("&Show"), dialog);
    chkShow->setObjectName(QStringLiteral("chkShowPassword"));
    chkShow->setAccessibleName(QStringLiteral("Show the password"));
    auto *generateButton = new QPushButton(QStringLiteral("&Generate"), dialog);
    generateButton->setObjectName(QStringLiteral("cmdGenerate"));
    generateButton->setAccessibleName(QStringLiteral("Generate a password"));
    auto *row = new QHBoxLayout;
    row->addWidget(chkShow);
    row->addWidget(generateButton);
    row->addStretch();
    layout->addRow(QString(), row);

    connect(chkShow, &QCheckBox::toggled, this, [this](bool shown) {
        const QLineEdit::EchoMode mode = shown ? QLineEdit::Normal : QLineEdit::Password;
        txtPassword->setEchoMode(mode);
        txtRepeatPassword->setEchoMode(mode);
    });
    connect(generateButton, &QPushButton::clicked, this, &PasswordFields::generate);
}

QString PasswordFields::password() const
{
    return txtPassword->text();
}

QString PasswordFields::repeated() const
{
    return txtRepeatPassword->text();
}

void PasswordFields::startOver()
{
    txtPassword->clear();
    txtRepeatPassword->clear();
    txtPassword->setFocus();
}

void PasswordFields::generate()
{
    const QString password = generatePassword();
    txtPassword->setText(password);
    txtRepeatPassword->setText(password);
    // A generated password is handed on by reading it out: it must be seen.
    chkShow->setChecked(true);
}
