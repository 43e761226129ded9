#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QCheckBox;
class QFormLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

// An account's gender, e-mail and GM flags as the Edit and Add dialogs show them, the flags in
// the GM selection window's order: two columns of eight.
class AccountDetailsFields : public QObject
{
    Q_OBJECT

public:
    // Adds its rows to the dialog's form, showing the values given.
    AccountDetailsFields(QWidget *dialog, QFormLayout *layout, bool male, const QString &email,
                         qint32 flagTotal);

    bool isMaleSelected() const;
    QString email() const;
    qint32 gmFlagTotal() const;
    void setGmFlagTotal(qint32 total);

private:
    QRadioButton *optMale = nullptr;
    QRadioButton *optFemale = nullptr;
    QLineEdit *txtEmail = nullptr;
    QList<QCheckBox *> m_flagBoxes; // in the order of gmFlags
};
