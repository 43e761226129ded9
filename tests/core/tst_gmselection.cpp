#include "core/GmFlags.h"
#include "core/GmSelection.h"

#include <QTest>

// The GM selection window's logic over check boxes that, like real ones, run their handler at
// once, nested inside whatever step changed them.
class GmSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void doneSumsTheTickedFlags_data();
    void doneSumsTheTickedFlags();
    void totalIsZeroUntilDone();
    void relativeChange_data();
    void relativeChange();
};

namespace {

class FakeCheckBoxes : public GmCheckBoxes
{
public:
    std::array<int, 17> states{};
    GmSelection *selection = nullptr;

    int state(int box) const override { return states.at(box); }
    void setState(int box, int state) override
    {
        if (states.at(box) == state)
            return;
        states.at(box) = state;
        if (box == selectAll)
            selection->selectAllChanged();
        else
            selection->flagChanged(box);
    }
    void click(int box) { setState(box, 1 - states.at(box)); }
};

struct Window
{
    FakeCheckBoxes boxes;
    qint32 total = 999; // the windows' shared total, left over from before
    GmSelection selection{boxes, total};
    Window()
    {
        boxes.selection = &selection;
        selection.open();
    }

    // "ALL" clicks Select ALL, "CLEAR" presses Clear All, a flag's name clicks its box.
    void run(const QStringList &steps)
    {
        for (const QString &step : steps) {
            if (step == "ALL") {
                boxes.click(GmCheckBoxes::selectAll);
            } else if (step == "CLEAR") {
                selection.clearAll();
            } else {
                const auto flag =
                    std::find_if(gmFlags.cbegin(), gmFlags.cend(),
                                 [&](const GmFlag &f) { return step == QLatin1String(f.name); });
                QVERIFY2(flag != gmFlags.cend(), qPrintable(step));
                boxes.click(int(flag - gmFlags.cbegin()));
            }
        }
    }
};

} // namespace

void GmSelectionTest::doneSumsTheTickedFlags_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("total");
    QTest::addColumn<bool>("selectAllTicked");

    QTest::newRow("nothing") << QStringList() << 0 << false;
    QTest::newRow("WARP and WHOIS") << QStringList{"WARP", "WHOIS"} << 384 << false;
    QTest::newRow("Select ALL") << QStringList{"ALL"} << 65535 << true;
    QTest::newRow("Select ALL, then untick BROADCAST")
        << QStringList{"ALL", "BROADCAST"} << 65534 << true;
    QTest::newRow("Clear All after Select ALL") << QStringList{"ALL", "CLEAR"} << 0 << false;
    QTest::newRow("unticking Select ALL leaves all ticked")
        << QStringList{"ALL", "ALL"} << 65535 << false;
    QTest::newRow("unticking Select ALL ticks BROADCAST again")
        << QStringList{"ALL", "BROADCAST", "ALL"} << 65535 << false;
    QTest::newRow("Clear All with nothing ticked") << QStringList{"CLEAR"} << 0 << false;
    QTest::newRow("WARP ticked five times") << QStringList(5, "WARP") << 128 << false;
    QTest::newRow("WORLD ticked four times") << QStringList(4, "CHANGEWORLD") << 0 << false;
    QStringList each;
    for (const GmFlag &flag : gmFlags)
        each << QLatin1String(flag.name);
    QTest::newRow("each flag by hand") << each << 65535 << false;
    QTest::newRow("Clear All, then GOTOSUMMONBANISH")
        << QStringList{"ALL", "CLEAR", "GOTOSUMMONBANISH"} << 512 << false;
}

void GmSelectionTest::doneSumsTheTickedFlags()
{
    QFETCH(QStringList, steps);
    QFETCH(int, total);
    QFETCH(bool, selectAllTicked);

    Window window;
    window.run(steps);
    window.selection.done();
    QCOMPARE(window.total, total);
    QCOMPARE(window.boxes.state(GmCheckBoxes::selectAll), int(selectAllTicked));
    // Every box shows its flag, and every slot follows its box.
    for (int flag = 0; flag < 16; ++flag) {
        const bool set = total & gmFlags.at(flag).value;
        QCOMPARE(window.boxes.state(flag), int(set));
        QCOMPARE(window.selection.slot(flag), set ? gmFlags.at(flag).value : 0);
    }
}

void GmSelectionTest::totalIsZeroUntilDone()
{
    Window window; // opening resets the total
    QCOMPARE(window.total, 0);
    window.run({"WARP", "WHOIS"});
    QCOMPARE(window.total, 0); // closing without Done keeps it

    window.selection.done();
    QCOMPARE(window.total, 384);
    window.selection.open(); // opening again discards the confirmed selection
    QCOMPARE(window.total, 0);
    QCOMPARE(window.selection.slot(7), 0);
}

void GmSelectionTest::relativeChange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint32>("add");
    QTest::addColumn<qint32>("clear");

    QTest::newRow("give one") << "+WARP" << true << 128 << 0;
    QTest::newRow("take one, any case") << "-whois" << true << 0 << 256;
    QTest::newRow("give and take") << "+WARP-WHOIS" << true << 128 << 256;
    QTest::newRow("several") << "+broadcast+WARP-WHOIS" << true << 129 << 256;
    QTest::newRow("no sign first: a total") << "BROADCAST+WARP" << false << 0 << 0;
    QTest::newRow("unknown name") << "+WARP-FLY" << false << 0 << 0;
    QTest::newRow("empty name") << "+WARP+" << false << 0 << 0;
    QTest::newRow("a value, not a name") << "+128" << false << 0 << 0;
    QTest::newRow("given and taken") << "+WARP-warp" << false << 0 << 0;
}

void GmSelectionTest::relativeChange()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint32, add);
    QFETCH(qint32, clear);
    const std::optional<GmFlagChange> change = parseGmFlagChange(text);
    QCOMPARE(change.has_value(), valid);
    if (change) {
        QCOMPARE(change->add, add);
        QCOMPARE(change->clear, clear);
    }
}

QTEST_GUILESS_MAIN(GmSelectionTest)
#include "tst_gmselection.moc"
