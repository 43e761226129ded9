#pragma once

#include <QDialog>

class QCheckBox;

// Asks before a line is taken out of the account file, naming the account or the line, and
// offers to keep the file as it was beside it.
class RemoveAccountDialog : public QDialog
{
    Q_OBJECT

public:
    RemoveAccountDialog(const QString &question, QWidget *parent);

    bool keepBackup() const;

signals:
    void submitted();

private:
    QCheckBox *chkKeepBackup = nullptr;
};
