#pragma once

#include "core/AccountRecord.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// Edits an account's gender, e-mail and GM flags, starting from the values the table shows.
// OK only reports the request (submitted); the Accounts window decides whether it closes.
class AccountDetailsDialog : public QDialog
{
    Q_OBJECT

public:
    AccountDetailsDialog(const AccountRecord &record, QWidget *parent);

    bool isMaleSelected() const;
    QString email() const;
    qint32 gmFlagTotal() const;
    void setGmFlagTotal(qint32 total);

signals:
    void submitted();

private:
    QRadioButton *optMale = nullptr;
    QRadioButton *optFemale = nullptr;
    QLineEdit *txtEmail = nullptr;
    QList<QCheckBox *> m_flagBoxes; // in the order of gmFlags
};
