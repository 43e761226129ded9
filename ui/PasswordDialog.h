#pragma once

#include <QDialog>

class QLineEdit;

// Asks for an account's new password, typed twice without echo. OK only reports the request
// (submitted); the Accounts window decides whether the dialog closes.
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    PasswordDialog(const QString &username, QWidget *parent);

    QString password() const;
    QString repeated() const;

signals:
    void submitted();

private:
    QLineEdit *txtNewPassword = nullptr;
    QLineEdit *txtRepeatPassword = nullptr;
};
