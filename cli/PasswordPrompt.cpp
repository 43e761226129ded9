#include "cli/PasswordPrompt.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/TerminalInput.h"

#include "core/ByteOrderMark.h"
#include "core/PasswordGenerator.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cstdio>

std::optional<QString> readInputLine()
{
    // C stdio rather than iostreams: <iostream> alone costs every kadd start its locale set-up.
    QByteArray line;
    for (int c = std::getc(stdin); c != EOF && c != '\n'; c = std::getc(stdin)) {
        line.append(char(c));
        if (line.size() > longestInputLine)
            return QString::fromLocal8Bit(line); // too long: the length rule refuses it
    }
    // A password file written on Windows ends its line with CR LF, and may start with a UTF-8
    // byte-order mark: the start of standard input, where it is a signature. Anywhere else it
    // is the character U+FEFF, which the rules refuse.
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith(utf8ByteOrderMark))
        line.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::System, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(line);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

namespace {

std::optional<QString> promptAndRead(const QString &prompt)
{
    if (!inputIsTerminal())
        return readInputLine();
    return readTypedLine(printable(prompt).toLocal8Bit());
}

} // namespace

PasswordSource standardInput()
{
    return {inputIsTerminal(), promptAndRead};
}

NewPassword readNewPassword(const QString &prompt, const PasswordSource &source)
{
    const std::optional<QString> first = source.readLine(prompt);
    if (!first)
        return {NewPassword::Outcome::Undecodable, {}};
    // Nothing typed (or the end of input) is refused by the rules without a second question.
    if (!source.typed || first->isEmpty())
        return {NewPassword::Outcome::Read, *first};
    const std::optional<QString> second = source.readLine(QStringLiteral("Retype password: "));
    if (!second)
        return {NewPassword::Outcome::Undecodable, {}};
    if (*second != *first)
        return {NewPassword::Outcome::Mismatch, {}};
    return {NewPassword::Outcome::Read, *first};
}

NewPassword newPasswordOf(const CommandLine &line, const QString &prompt)
{
    if (line.password)
        return {NewPassword::Outcome::Read, *line.password};
    if (line.generate)
        return {NewPassword::Outcome::Read, generatePassword()};
    return readNewPassword(prompt, standardInput());
}
