#include "core/ServerLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Folders below one temporary folder, which is also the working folder, so every row passes
// relative names and checks that the result is made absolute.
class ServerLocationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { QDir::setCurrent(m_previous); }
    void precedence_data();
    void precedence();
    void foundAbove_data();
    void foundAbove();
    void missingPart_data();
    void missingPart();
    void pickedFolder_data();
    void pickedFolder();

private:
    void makeFolder(const QString &name, const QString &below);

    QTemporaryDir m_root;
    QString m_previous = QDir::currentPath();
};

void ServerLocationTest::makeFolder(const QString &name, const QString &below)
{
    QVERIFY(QDir(m_root.path()).mkpath(name + u'/' + below));
}

void ServerLocationTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    for (const char *server : {"program", "other", "saved"}) {
        makeFolder(QLatin1String(server), QStringLiteral("kData/kPlayer"));
        QFile file(m_root.filePath(QLatin1String(server)) + "/kData/kPlayer/kAdd.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    makeFolder(QStringLiteral("program"), QStringLiteral("KeltoAccountCreator"));
    makeFolder(QStringLiteral("bare"), QStringLiteral("kPlayer"));
    makeFolder(QStringLiteral("no-player"), QStringLiteral("kData"));
    makeFolder(QStringLiteral("no-file"), QStringLiteral("kData/kPlayer"));
    makeFolder(QStringLiteral("file-is-folder"), QStringLiteral("kData/kPlayer/kAdd.txt"));
    QVERIFY(QDir::setCurrent(m_root.path()));
}

void ServerLocationTest::precedence_data()
{
    QTest::addColumn<QString>("appDir"); // "-" when --app-dir is not given
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<ServerFolderSource>("source");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("savedRead");

    using S = ServerFolderSource;
    QTest::newRow("--app-dir beats a server folder beside the program")
        << "other"
        << "program"
        << "saved"
        << "saved" << S::CommandLine << "other" << false;
    QTest::newRow("--app-dir is taken even without the file")
        << "bare"
        << "program"
        << ""
        << "" << S::CommandLine << "bare" << false;
    QTest::newRow("the program's folder beats KELTO_APP_DIR")
        << "-"
        << "program"
        << "other"
        << "saved" << S::ProgramFolder << "program" << false;
    QTest::newRow("the folder above the program's")
        << "-"
        << "program/KeltoAccountCreator"
        << "other"
        << "saved" << S::ProgramParent << "program" << false;
    QTest::newRow("KELTO_APP_DIR when the program's folder is bare")
        << "-"
        << "bare"
        << "other"
        << "saved" << S::Environment << "other" << false;
    QTest::newRow("KELTO_APP_DIR is taken even without the file")
        << "-"
        << "no-file"
        << "no-file"
        << "saved" << S::Environment << "no-file" << false;
    QTest::newRow("the saved choice last") << "-"
                                           << "bare"
                                           << ""
                                           << "saved" << S::SavedChoice << "saved" << true;
    QTest::newRow("a saved folder that lost its file") << "-"
                                                       << "bare"
                                                       << ""
                                                       << "no-file" << S::None << "" << true;
    QTest::newRow("nothing saved") << "-"
                                   << "bare"
                                   << ""
                                   << "" << S::None << "" << true;
}

void ServerLocationTest::precedence()
{
    QFETCH(QString, appDir);
    QFETCH(QString, program);
    QFETCH(QString, environment);
    QFETCH(QString, saved);
    QFETCH(ServerFolderSource, source);
    QFETCH(QString, folder);
    QFETCH(bool, savedRead);

    bool read = false;
    const ServerLocation location = locateServerFolder(
        appDir == "-" ? std::nullopt : std::optional<QString>(appDir), program, environment, [&] {
            read = true;
            return saved;
        });
    QCOMPARE(location.source, source);
    QCOMPARE(location.path, folder.isEmpty() ? QString() : m_root.filePath(folder));
    QCOMPARE(read, savedRead);
}

void ServerLocationTest::foundAbove_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("folder"); // empty: none found

    QTest::newRow("from a subfolder") << "program/KeltoAccountCreator"
                                      << "program";
    QTest::newRow("none up to the root") << "bare/kPlayer"
                                         << "";
#ifdef Q_OS_UNIX
    const QString open = m_root.filePath("saved");
    QVERIFY(QFile::setPermissions(open, QFile::permissions(open) | QFile::WriteOther));
    QTest::newRow("not in a folder anyone may write") << "saved/kData"
                                                      << "";
#endif
}

void ServerLocationTest::foundAbove()
{
    QFETCH(QString, start);
    QFETCH(QString, folder);
    const ServerLocation location = locateServerFolderAbove(start);
    QCOMPARE(location.source,
             folder.isEmpty() ? ServerFolderSource::None : ServerFolderSource::WorkingFolder);
    QCOMPARE(location.path, folder.isEmpty() ? QString() : m_root.filePath(folder));
}

void ServerLocationTest::missingPart_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("missing");

    QTest::newRow("server folder") << "program"
                                   << "";
    QTest::newRow("no kData") << "bare"
                              << "kData";
    QTest::newRow("no kPlayer") << "no-player"
                                << "kData/kPlayer";
    QTest::newRow("no account file") << "no-file"
                                     << "kData/kPlayer/kAdd.txt";
    QTest::newRow("account file is a folder") << "file-is-folder"
                                              << "kData/kPlayer/kAdd.txt";
    QTest::newRow("folder does not exist") << "nowhere"
                                           << "kData";
}

void ServerLocationTest::missingPart()
{
    QFETCH(QString, folder);
    QFETCH(QString, missing);
    QCOMPARE(missingServerPart(folder), missing);
}

void ServerLocationTest::pickedFolder_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("folder");

    QTest::newRow("the server folder") << "program"
                                       << "program";
    QTest::newRow("kData") << "program/kData"
                           << "program";
    QTest::newRow("kPlayer") << "program/kData/kPlayer"
                             << "program";
    QTest::newRow("the account file") << "program/kData/kPlayer/kAdd.txt"
                                      << "program";
    QTest::newRow("kPlayer without the file") << "no-file/kData/kPlayer"
                                              << "no-file";
    QTest::newRow("a kPlayer outside kData") << "bare/kPlayer"
                                             << "bare/kPlayer";
    QTest::newRow("another folder") << "bare"
                                    << "bare";
}

void ServerLocationTest::pickedFolder()
{
    QFETCH(QString, picked);
    QFETCH(QString, folder);
    QCOMPARE(serverFolderFromPick(picked), m_root.filePath(folder));
}

QTEST_GUILESS_MAIN(ServerLocationTest)
#include "tst_serverlocation.moc"
