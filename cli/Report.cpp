#include "cli/Report.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"

#include "core/CreateAccount.h"
#include "core/EntryValidation.h"
#include "core/GmFlags.h"

#include <algorithm>

// The same words as the window's message boxes, title first.
int reportRefused(const ValidationResult &check)
{
    printError(check.title + QStringLiteral(": ") + check.text);
    return ExitRefused;
}

int reportPasswordNotRead(NewPassword::Outcome outcome)
{
    if (outcome == NewPassword::Outcome::Mismatch)
        printError(QStringLiteral("Passwords do not match: the password and its retyping differ; "
                                  "the account file was not changed"));
    else // the words the rules give a password they cannot store
        printError(QStringLiteral("Invalid Character: Password contains a character that cannot "
                                  "be stored"));
    return ExitRefused;
}

int reportFileError(const QString &errorText, bool fileChanged)
{
    printError(fileErrorTitle + QStringLiteral(": ") + errorText);
    return fileChanged ? ExitNotYetSafe : ExitFileError;
}

QString shellWord(const QString &word)
{
    const bool plain = !word.isEmpty() && std::all_of(word.cbegin(), word.cend(), [](QChar c) {
        return c.isLetterOrNumber() || QStringView(u"._-@+").contains(c);
    });
    if (plain)
        return word;
    QString quoted = word;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString changeExistingHint(const QString &username)
{
    const QString name = shellWord(username);
    return QStringLiteral("To change that account, run kadd passwd %1 or kadd set %1.").arg(name);
}

QString gmFlagsText(qint32 total)
{
    const QStringList names = gmFlagNames(total);
    return QStringLiteral("GM flags %1%2")
        .arg(total)
        .arg(names.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(names.join(u'+')));
}

void printGeneratedPassword(const CommandLine &line, const QString &password, int status)
{
    if (line.generate && !line.dryRun && (status == ExitDone || status == ExitNotYetSafe))
        printOut(QStringLiteral("Password: %1").arg(password));
}
