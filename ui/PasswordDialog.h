#pragma once

#include <QDialog>

class PasswordFields;

// Asks for an account's new password, typed twice. OK only reports the request (submitted); the
// Accounts window decides whether the dialog closes.
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    PasswordDialog(const QString &username, QWidget *parent);

    PasswordFields *passwords() const { return m_passwords; }

signals:
    void submitted();

private:
    PasswordFields *m_passwords = nullptr;
};
