#include "core/GmFlags.h"
#include "tests/ui/WindowProbe.h"
#include "ui/Module1.h"
#include "ui/frmGmSelect.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

class GmWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void tabOrder();
    void clickAnywhereInBoxToggles();
    void selectAllTwiceKeepsFlags();
    void clearAllAfterSelectAll();
    void doneStoresTotalAndUnloads();
    void reopeningStartsFromScratch();

private:
    void click(const char *name);
    QCheckBox *box(const char *name) const { return control<QCheckBox>(m_window, name); }
    int ticked() const;

    QPointer<frmGmSelect> m_window;
};

void GmWindowTest::init()
{
    Module1::gmFlagTotal = 99; // opening must reset it
    m_window = new frmGmSelect();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QCOMPARE(Module1::gmFlagTotal, 0);
}

void GmWindowTest::cleanup()
{
    delete m_window.data();
}

void GmWindowTest::click(const char *name)
{
    QTest::mouseClick(control<QAbstractButton>(m_window, name), Qt::LeftButton);
}

int GmWindowTest::ticked() const
{
    int count = 0;
    for (const GmFlag &flag : gmFlags)
        count += box(flag.checkBoxName)->isChecked();
    return count;
}

void GmWindowTest::layout_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");

    const QString captions[16] = {"BROADCAST-1",
                                  "ITEMSUMMON-2",
                                  "MONSTERSUMMON-4",
                                  "CHANGESTATSKILL-8",
                                  "CHANGEOPTION-16",
                                  "SAVERETURN-32",
                                  "CHANGELEVEL-64",
                                  "WARP-128",
                                  "WHOIS-256",
                                  "GOTOSUMMONBANISH - 512",
                                  "KILLDIEALIVE-1024",
                                  "CHANGEJOB-2048",
                                  "CHANGECOLORSTYLE - 4096",
                                  "AUTORAWUNIT-8192",
                                  "REFINE-16384",
                                  "CHANGEWORLD-32768"};
    const char *names[16] = {"chkBroadcast",
                             "chkItemSummon",
                             "chkMonsterSummon",
                             "chkChangeStatSkill",
                             "chkChangeOption",
                             "chkSaveReturn",
                             "chkChangeLevel",
                             "chkWarp",
                             "chkWhois",
                             "chkGotoSumBan",
                             "chkKilledAlive",
                             "chkChangeJob",
                             "chkChangeColorStyle",
                             "chkAutoRawUnit",
                             "chkRefine",
                             "chkWorld"};
    for (int i = 0; i < 16; ++i) {
        QTest::newRow(names[i]) << captions[i]
                                << QRect(i < 8 ? 240 : 3000, 240 + (i % 8) * 600, 2295, 375);
    }
    QTest::newRow("chkSelectAll") << "Select ALL" << QRect(5760, 720, 1215, 495);
    QTest::newRow("cmdClear") << "Clear All" << QRect(5640, 1800, 1575, 735);
    QTest::newRow("cmdDone") << "Done" << QRect(5640, 3360, 1575, 735);
}

void GmWindowTest::layout()
{
    QFETCH(QString, caption);
    QFETCH(QRect, twips);

    QCOMPARE(m_window->windowTitle(), QStringLiteral("Create GM"));
    QCOMPARE(m_window->size(), QSize(503, 355));
    auto *button = control<QAbstractButton>(m_window, QTest::currentDataTag());
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QVERIFY(!button->isChecked());
    if (auto *push = qobject_cast<QPushButton *>(button))
        QVERIFY(!push->autoDefault() && !push->isDefault());
}

void GmWindowTest::tabOrder()
{
    const QStringList expected{"chkBroadcast",
                               "chkItemSummon",
                               "chkChangeOption",
                               "chkMonsterSummon",
                               "chkChangeStatSkill",
                               "chkSaveReturn",
                               "chkChangeLevel",
                               "chkWarp",
                               "chkAutoRawUnit",
                               "chkRefine",
                               "chkWhois",
                               "chkGotoSumBan",
                               "chkChangeColorStyle",
                               "chkKilledAlive",
                               "chkChangeJob",
                               "cmdDone",
                               "cmdClear",
                               "chkSelectAll",
                               "chkWorld",
                               "chkBroadcast"};
    QCOMPARE(tabWalk(m_window, expected.size()), expected);
}

void GmWindowTest::clickAnywhereInBoxToggles()
{
    QCheckBox *warp = box("chkWarp");
    const QPoint farRight(warp->width() - 2, warp->height() / 2);
    QTest::mouseClick(warp, Qt::LeftButton, {}, farRight);
    QVERIFY(warp->isChecked());
    QTest::mouseClick(warp, Qt::LeftButton, {}, QPoint(warp->width() - 2, 1));
    QVERIFY(!warp->isChecked());
}

void GmWindowTest::selectAllTwiceKeepsFlags()
{
    click("chkSelectAll");
    click("chkSelectAll");
    QVERIFY(!box("chkSelectAll")->isChecked());
    QCOMPARE(ticked(), 16);
}

void GmWindowTest::clearAllAfterSelectAll()
{
    click("chkSelectAll");
    click("cmdClear");
    QVERIFY(!box("chkSelectAll")->isChecked());
    QCOMPARE(ticked(), 0);
    click("cmdDone");
    QCOMPARE(Module1::gmFlagTotal, 0);
}

void GmWindowTest::doneStoresTotalAndUnloads()
{
    click("chkWarp");
    click("chkWhois");
    click("cmdDone");
    QCOMPARE(Module1::gmFlagTotal, 384);
    QVERIFY(!m_window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window);
}

void GmWindowTest::reopeningStartsFromScratch()
{
    click("chkSelectAll");
    click("cmdDone");
    QCOMPARE(Module1::gmFlagTotal, 65535);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    init();
    QCOMPARE(ticked(), 0);
    QVERIFY(!box("chkSelectAll")->isChecked());
    click("cmdDone");
    QCOMPARE(Module1::gmFlagTotal, 0);
}

QTEST_MAIN(GmWindowTest)
#include "tst_gmwindow.moc"
