#pragma once

#include <QDialog>

class AccountDetailsFields;
class PasswordFields;
class QLineEdit;

// Asks for a new account: username, password twice, gender, e-mail and GM flags, as the main
// window does. OK only reports the request (submitted); the Accounts window decides whether the
// dialog closes.
class AddAccountDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AddAccountDialog(QWidget *parent);

    QString username() const;
    PasswordFields *passwords() const { return m_passwords; }
    AccountDetailsFields *details() const { return m_details; }

signals:
    void submitted();

private:
    QLineEdit *txtUsername = nullptr;
    PasswordFields *m_passwords = nullptr;
    AccountDetailsFields *m_details = nullptr;
};
