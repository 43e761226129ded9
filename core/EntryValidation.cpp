#include "EntryValidation.h"

#include "EntryView.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const QString lengthTitle = QStringLiteral("Invalid Length");
const QString spacesTitle = QStringLiteral("No Spaces");
const QString characterTitle = QStringLiteral("Invalid Character");

// Only U+0020 counts as a space here, unlike QString::trimmed().
qsizetype trimmedLength(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return last - first;
}

bool lengthOutOfRange(const QString &text)
{
    const qsizetype length = trimmedLength(text);
    return length < 4 || length > 16;
}

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

} // namespace

bool canBeStored(const QString &text)
{
    if (hasControlCharacter(text))
        return false;
    // A round trip rather than hasError(): on Windows the encoder turns characters outside the
    // ANSI code page into '?' without reporting an error.
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}

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
