#pragma once

#include <QObject>
#include <QString>

class QCheckBox;
class QFormLayout;
class QLineEdit;
class QWidget;

// A password typed twice, shown as bullets unless Show is on, with Generate to fill both with a
// password the operator can read out. Both dialogs that set a password take it from here.
class PasswordFields : public QObject
{
    Q_OBJECT

public:
    // Adds its rows to the dialog's form; firstName is the object name of the first box.
    PasswordFields(QWidget *dialog, QFormLayout *layout, const QString &caption,
                   const char *firstName, const QString &accessibleName);

    QString password() const;
    QString repeated() const;

    // After two different texts neither is worth keeping: both are typed afresh.
    void startOver();
    void generate();

private:
    QLineEdit *txtPassword = nullptr;
    QLineEdit *txtRepeatPassword = nullptr;
    QCheckBox *chkShow = nullptr;
};
