#pragma once

#include "core/AccountRecord.h"

#include <QDialog>

class AccountDetailsFields;

// Edits an account's gender, e-mail and GM flags, starting from the values the table shows.
// OK only reports the request (submitted); the Accounts window decides whether it closes.
class AccountDetailsDialog : public QDialog
{
    Q_OBJECT

public:
    AccountDetailsDialog(const AccountRecord &record, QWidget *parent);

    AccountDetailsFields *details() const { return m_details; }

signals:
    void submitted();

private:
    AccountDetailsFields *m_details = nullptr;
};
