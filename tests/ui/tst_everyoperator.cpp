#include "tests/ui/WindowProbe.h"
#include "ui/frmGmSelect.h"
#include "ui/frmKeltoAccountCreator.h"

#include <QAccessible>
#include <QRadioButton>
#include <QtTest>

#include <memory>

// What the windows owe operators who do not use them the usual way: a screen reader names
// every control Tab reaches, and no shrinking hides a control.
class EveryOperatorTest : public QObject
{
    Q_OBJECT

private slots:
    void everyTabStopIsNamed_data();
    void everyTabStopIsNamed();
    void shrinkingKeepsEveryControl_data();
    void shrinkingKeepsEveryControl();
};

namespace {

std::unique_ptr<QWidget> openWindow(const QString &which)
{
    std::unique_ptr<QWidget> window;
    if (which == QLatin1String("GM"))
        window = std::make_unique<frmGmSelect>();
    else
        window = std::make_unique<frmKeltoAccountCreator>(QString());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    if (!QTest::qWaitForWindowActive(window.get()))
        return nullptr;
    return window;
}

} // namespace

void EveryOperatorTest::everyTabStopIsNamed_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("female");
    QTest::addColumn<int>("stops");

    QTest::newRow("main window") << "main" << false << 8;
    QTest::newRow("main window, Female selected") << "main" << true << 8;
    QTest::newRow("GM window") << "GM" << false << 19;
}

void EveryOperatorTest::everyTabStopIsNamed()
{
    QFETCH(QString, window);
    QFETCH(bool, female);
    QFETCH(int, stops);
    const std::unique_ptr<QWidget> shown = openWindow(window);
    QVERIFY(shown);
    if (female) {
        control<QRadioButton>(shown.get(), "optGenderFemale")->setChecked(true);
        control<QWidget>(shown.get(), "txtUsername")->setFocus();
    }

    const QStringList walked = tabWalk(shown.get(), stops + 1);
    QCOMPARE(walked.last(), walked.first()); // the walk went all the way round
    for (const QString &name : walked) {
        QWidget *widget = shown->findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY2(accessible, qPrintable(name));
        QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(name));
    }
}

void EveryOperatorTest::shrinkingKeepsEveryControl_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "main";
    QTest::newRow("GM window") << "GM";
}

void EveryOperatorTest::shrinkingKeepsEveryControl()
{
    QFETCH(QString, window);
    const std::unique_ptr<QWidget> shown = openWindow(window);
    QVERIFY(shown);
    const QSize clientArea = shown->size();

    shown->resize(clientArea / 2);
    QCOMPARE(shown->size(), clientArea);
    for (const QWidget *child : shown->findChildren<QWidget *>())
        QVERIFY2(shown->rect().contains(child->geometry()), qPrintable(child->objectName()));
}

QTEST_MAIN(EveryOperatorTest)
#include "tst_everyoperator.moc"
