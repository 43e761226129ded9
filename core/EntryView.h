#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

enum class EntryBox
{
    Username, // txtUsername
    Password, // txtPassword
    Email,    // txtEmail
};

enum class MessageIcon
{
    None,
    Critical,
};

// Values the main window keeps between two runs of Create Account.
struct CreateAccountState
{
    QString username;
    QString password;
    QString email;
    qint16 gender = 0; // 1 male, 0 female
    qint32 gmFlagsUsed = 0;
    QString lastRecordLine;
};

// What Create Account needs from the main window. The window implements it; tests supply their
// own.
class EntryView
{
public:
    virtual ~EntryView() = default;

    virtual QString text(EntryBox box) const = 0;
    virtual void setText(EntryBox box, const QString &text) = 0;

    // optGenderMale; its partner optGenderFemale is selected whenever Male is not.
    virtual bool isMaleSelected() const = 0;
    virtual void setMaleSelected(bool selected) = 0;

    // lblKadd, the record label.
    virtual void setRecordLabel(const QString &caption) = 0;

    // The folder that holds the running program, recorded when the window loaded.
    virtual QString applicationFolder() const = 0;

    // A modal box with a single OK button. No title means the application's own title.
    virtual void showMessageBox(const QString &text, const std::optional<QString> &title,
                                MessageIcon icon) = 0;

    // The GM flags chosen for the next account; the windows share them between the GM selection
    // window and the main window.
    virtual qint32 gmFlagTotal() const = 0;
    virtual void setGmFlagTotal(qint32 total) = 0;

    // The main window's Clear command.
    virtual void runClear() = 0;

    virtual CreateAccountState &keptValues() = 0;
};
