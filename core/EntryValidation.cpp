#include "core/EntryValidation.h"

#include "core/EntryView.h"
#include "core/RecordEncoding.h"

#include <QList>

namespace {

const QString lengthTitle = QStringLiteral("Invalid Length");
const QString spacesTitle = QStringLiteral("No Spaces");
const QString characterTitle = QStringLiteral("Invalid Character");

// In characters, so that one outside the Basic Multilingual Plane counts once, not as its two
// UTF-16 halves. Only U+0020 counts as a space here, unlike QString::trimmed().
qsizetype trimmedLength(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    qsizetype characters = 0;
    for (qsizetype i = first; i < last; ++i, ++characters) {
        if (text.at(i).isHighSurrogate() && i + 1 < last && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return characters;
}

bool lengthOutOfRange(const QString &text)
{
    const qsizetype length = trimmedLength(text);
    return length < 4 || length > 16;
}

} // namespace

ValidationResult validateAccountTexts(const QString &username, const QString &password,
                                      QString &email)
{
    if (username.isEmpty())
        return ValidationResult::fail(QStringLiteral("You must enter a user name"),
                                      QStringLiteral("Username is required"));
    if (password.isEmpty())
        return ValidationResult::fail(QStringLiteral("You must enter a password"),
                                      QStringLiteral("Password is required"));
    if (email.isEmpty())
        email = QStringLiteral("none");
    if (lengthOutOfRange(username))
        return ValidationResult::fail(QStringLiteral("User name must be 4 to 16 characters"),
                                      lengthTitle);
    if (lengthOutOfRange(password))
        return ValidationResult::fail(QStringLiteral("Password must be 4 to 16 characters"),
                                      lengthTitle);
    if (username.contains(u' '))
        return ValidationResult::fail(QStringLiteral("No spaces in User Name"), spacesTitle);
    if (password.contains(u' '))
        return ValidationResult::fail(QStringLiteral("No spaces in Password"), spacesTitle);

    // The record has no quoting: a comma would split a field and a line break would start a
    // record of its own in the server's file.
    const struct
    {
        const QString &text;
        QString label;
    } fields[] = {{username, QStringLiteral("User Name")},
                  {password, QStringLiteral("Password")},
                  {email, QStringLiteral("Email")}};
    for (const auto &field : fields) {
        if (field.text.contains(u','))
            return ValidationResult::fail(QStringLiteral("No commas in ") + field.label,
                                          characterTitle);
    }
    for (const auto &field : fields) {
        if (!canBeStored(field.text))
            return ValidationResult::fail(
                field.label + QStringLiteral(" contains a character that cannot be stored"),
                characterTitle);
    }
    return ValidationResult::pass();
}

ValidationResult ValidateEntry(EntryView &view)
{
    QString email = view.text(EntryBox::Email);
    const bool emailWasEmpty = email.isEmpty();
    const ValidationResult result =
        validateAccountTexts(view.text(EntryBox::Username), view.text(EntryBox::Password), email);
    // The "none" default shows in the box even when a later rule refused the entry.
    if (emailWasEmpty && !email.isEmpty())
        view.setText(EntryBox::Email, email);
    return result;
}

// Stand-ins that pass every rule leave only the rules of the field being changed to fail, in
// the order and with the words of creation.
ValidationResult validateNewPassword(const QString &password)
{
    QString email = QStringLiteral("none");
    return validateAccountTexts(QStringLiteral("user"), password, email);
}

ValidationResult validateNewEmail(QString &email)
{
    return validateAccountTexts(QStringLiteral("user"), QStringLiteral("pass"), email);
}
