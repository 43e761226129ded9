#include "core/AccountFile.h"
#include "core/EntryValidation.h"
#include "core/internal/fs/CheckedFile.h"
#include "tests/support/BuiltProgram.h"
#include "tests/support/ServerFolder.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <thread>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

// What only Windows does to the account file and the console: the ANSI code page, files held
// open by the game server, FlushFileBuffers and a console that must not echo the password.
class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void ansiNamesInAnyCase_data();
    void ansiNamesInAnyCase();
    void characterOutsideTheCodePageIsRefused();
    void accountFileHeldOpen_data();
    void accountFileHeldOpen();
    void flushReachesTheFile();
    void accessOfTheAccountFileIsKept_data();
    void accessOfTheAccountFileIsKept();
    void passwordIsNotEchoed();
};

namespace {

const QByteArray accounts = "bob,pw,1,none,0\r\n\xC4rger,pw,0,none,0\r\n\xC9lise,pw,1,none,0\r\n";

QString recordOf(const QString &name)
{
    return name + QStringLiteral(",pw,1,none,0");
}

} // namespace

void WindowsTest::ansiNamesInAnyCase_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QByteArray>("appended"); // empty for a duplicate

    QTest::newRow("same case") << QStringLiteral("Ärger") << QByteArray();
    QTest::newRow("lower case") << QStringLiteral("ärger") << QByteArray();
    QTest::newRow("upper case, accent") << QStringLiteral("ÉLISE") << QByteArray();
    QTest::newRow("another letter is another name")
        << QStringLiteral("Örger") << QByteArray("\xD6rger,pw,1,none,0\r\n");
}

void WindowsTest::ansiNamesInAnyCase()
{
    QFETCH(QString, username);
    QFETCH(QByteArray, appended);
    if (GetACP() != 1252)
        QSKIP("the rows hold Windows-1252 bytes; this system's ANSI code page differs");

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const AddAccountResult result = AddAccount(server.path(), username, recordOf(username));
    QCOMPARE(result.outcome, appended.isEmpty() ? AddOutcome::Duplicate : AddOutcome::Created);
    QCOMPARE(server.accounts(), accounts + appended);
    QCOMPARE(server.leftovers(), QStringList());
}

void WindowsTest::characterOutsideTheCodePageIsRefused()
{
    const QString greek = QStringLiteral("Ωmega");
    QString email = QStringLiteral("none");
    const ValidationResult check = validateAccountTexts(greek, QStringLiteral("pw12"), email);
    QVERIFY(!check.passed);
    QCOMPARE(check.text, QStringLiteral("User Name contains a character that cannot be stored"));

    // The file layer refuses it too rather than write a '?' in its place.
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const AddAccountResult result = AddAccount(server.path(), greek, recordOf(greek));
    QCOMPARE(result.outcome, AddOutcome::FileError);
    QVERIFY2(result.errorText.contains(QStringLiteral("cannot be stored")),
             qPrintable(result.errorText));
    QCOMPARE(server.accounts(), accounts);
    QCOMPARE(server.leftovers(), QStringList());
}

void WindowsTest::accountFileHeldOpen_data()
{
    QTest::addColumn<int>("releaseAfter"); // milliseconds, or -1 for never
    QTest::newRow("held throughout") << -1;
    QTest::newRow("released while the update retries") << 100;
}

// The game server reads the account file as the C library opens it: shared for reading and
// writing, but not for deletion, so Windows refuses to replace it.
void WindowsTest::accountFileHeldOpen()
{
    QFETCH(int, releaseAfter);
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    HANDLE held = CreateFileW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(server.accountFile()).utf16()),
        GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    QVERIFY(held != INVALID_HANDLE_VALUE);
    std::thread release;
    if (releaseAfter >= 0)
        release = std::thread([held, releaseAfter] {
            Sleep(DWORD(releaseAfter));
            CloseHandle(held);
        });

    const AddAccountResult result = AddAccount(server.path(), "carol", recordOf("carol"));
    if (release.joinable())
        release.join();
    else
        CloseHandle(held);

    if (releaseAfter >= 0) {
        QCOMPARE(result.outcome, AddOutcome::Created);
        QCOMPARE(server.accounts(), accounts + "carol,pw,1,none,0\r\n");
    } else {
        QCOMPARE(result.outcome, AddOutcome::FileError);
        QVERIFY2(result.errorText.contains(QDir::toNativeSeparators(server.accountFile())),
                 qPrintable(result.errorText));
        QCOMPARE(server.accounts(), accounts);
        QCOMPARE(AddAccount(server.path(), "carol", recordOf("carol")).outcome,
                 AddOutcome::Created);
    }
    QCOMPARE(server.leftovers(), QStringList());
}

void WindowsTest::flushReachesTheFile()
{
    QTemporaryDir dir;
    CheckedFile file(dir.filePath(QStringLiteral("flushed.txt")));
    QVERIFY(!file.createPrivate());
    QVERIFY(!file.write("alice,pw,1,none,0\r\n"));
    const Failure flushed = file.syncToDisk();
    QVERIFY2(!flushed, flushed ? qPrintable(flushed->text) : "");
    QVERIFY(!file.close());

    // A handle without write access cannot be flushed: the failure must be seen, not ignored.
    CheckedFile reader(file.path());
    QVERIFY(!reader.openForReading());
    QVERIFY(reader.syncToDisk());
}

namespace {

// Owner, group and access control list, as SDDL text; empty when they cannot be read.
QString securityOf(const QString &path)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const SECURITY_INFORMATION parts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    wchar_t *text = nullptr;
    QString result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts,
                                                             &text, nullptr)) {
        result = QString::fromWCharArray(text);
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

constexpr DWORD operatorAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

} // namespace

void WindowsTest::accessOfTheAccountFileIsKept_data()
{
    QTest::addColumn<QString>("access"); // set on the account file, SDDL
    QTest::addColumn<int>("attributes");
    // The game server's service account (here NETWORK SERVICE) may read the file.
    QTest::newRow("entries of its own, hidden")
        << QStringLiteral("D:(A;;FR;;;NS)(A;;FA;;;WD)") << int(FILE_ATTRIBUTE_HIDDEN);
    QTest::newRow("inheriting nothing from the folder, system file")
        << QStringLiteral("D:P(A;;FA;;;WD)(A;;FR;;;NS)") << int(FILE_ATTRIBUTE_SYSTEM);
}

// On NTFS a file keeps the security it was created with when it is moved within a volume: the
// new account file must take the old one's, not that of the folder its copy was made in.
void WindowsTest::accessOfTheAccountFileIsKept()
{
    QFETCH(QString, access);
    QFETCH(int, attributes);
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const std::wstring path = QDir::toNativeSeparators(server.accountFile()).toStdWString();
    PSECURITY_DESCRIPTOR wanted = nullptr;
    QVERIFY(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        access.toStdWString().c_str(), SDDL_REVISION_1, &wanted, nullptr));
    const bool set = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, wanted);
    LocalFree(wanted);
    QVERIFY(set && SetFileAttributesW(path.c_str(), DWORD(attributes)));
    const QString before = securityOf(server.accountFile());
    // Wine holds a list only as far as permission bits can: as it reads the list back.
    const DWORD kept = GetFileAttributesW(path.c_str()) & operatorAttributes;

    QCOMPARE(AddAccount(server.path(), "carol", recordOf("carol")).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), accounts + "carol,pw,1,none,0\r\n");
    QCOMPARE(securityOf(server.accountFile()), before);
    QCOMPARE(GetFileAttributesW(path.c_str()) & operatorAttributes, kept);
    QCOMPARE(server.leftovers(), QStringList());
}

namespace {

// Types text into this process's console as key presses.
bool typeIntoConsole(const QString &text)
{
    HANDLE input =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE)
        return false;
    QList<INPUT_RECORD> keys;
    for (const QChar c : text) {
        for (const BOOL down : {TRUE, FALSE}) {
            INPUT_RECORD key{};
            key.EventType = KEY_EVENT;
            key.Event.KeyEvent.bKeyDown = down;
            key.Event.KeyEvent.wRepeatCount = 1;
            key.Event.KeyEvent.wVirtualKeyCode = c == u'\r' ? VK_RETURN : 0;
            key.Event.KeyEvent.uChar.UnicodeChar = c.unicode();
            keys.append(key);
        }
    }
    DWORD written = 0;
    const bool ok = WriteConsoleInputW(input, keys.data(), DWORD(keys.size()), &written) &&
                    written == DWORD(keys.size());
    CloseHandle(input);
    return ok;
}

// What this process's console shows.
QString consoleScreen()
{
    HANDLE output =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (output == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(output, &info))
        return {};
    const DWORD cells = DWORD(info.dwSize.X) * DWORD(info.dwCursorPosition.Y + 1);
    std::wstring text(cells, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(output, text.data(), cells, COORD{0, 0}, &read);
    CloseHandle(output);
    return QString::fromStdWString(text.substr(0, read)).simplified();
}

} // namespace

// kadd asks for the password on a console of its own, as an operator runs it: the password
// reaches the account file and never shows on the screen.
void WindowsTest::passwordIsNotEchoed()
{
    FreeConsole();
    if (!AllocConsole())
        QSKIP("no console can be made here");
    ServerFolder server(accounts);
    QProcess kadd;
    // kadd inherits the console as its standard input and output.
    kadd.setProcessChannelMode(QProcess::ForwardedChannels);
    kadd.setInputChannelMode(QProcess::ForwardedInputChannel);
    kadd.setWorkingDirectory(server.workFolder());
    kadd.start(builtProgram(KADD_PATH), {"add", "newbie", "--app-dir", server.path()});
    QVERIFY(kadd.waitForStarted(10000));
    // Typed characters outside ASCII arrive as typed, not read in the console's OEM code page.
    // Typed unseen, the password is asked for twice.
    QVERIFY(typeIntoConsole(QStringLiteral("h\u00FCsh1234\r")));
    QTRY_VERIFY_WITH_TIMEOUT(consoleScreen().contains(QStringLiteral("Retype password:")), 10000);
    QVERIFY(typeIntoConsole(QStringLiteral("h\u00FCsh1234\r")));
    QVERIFY(kadd.waitForFinished(20000));
    const QString screen = consoleScreen();
    FreeConsole();

    QCOMPARE(kadd.exitCode(), 0);
    QCOMPARE(server.accounts(), accounts + "newbie,h\xFCsh1234,1,none,0\r\n");
    QVERIFY2(screen.contains(QStringLiteral("Password for newbie:")), qPrintable(screen));
    QVERIFY2(!screen.contains(QStringLiteral("sh1234")), qPrintable(screen));
}

QTEST_GUILESS_MAIN(WindowsTest)
#include "tst_windows.moc"
