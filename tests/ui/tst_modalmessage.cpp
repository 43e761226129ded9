#include "ui/ModalMessage.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The real box, shown modally and answered the way an operator would.
class ModalMessageTest : public QObject
{
    Q_OBJECT

private slots:
    void shownModally_data();
    void shownModally();
};

void ModalMessageTest::shownModally_data()
{
    QTest::addColumn<std::optional<QString>>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<QMessageBox::Icon>("expectedIcon");

    QTest::newRow("no title, no icon") << std::optional<QString>() << int(MessageIcon::None)
                                       << "Kelto Account Creator" << QMessageBox::NoIcon;
    QTest::newRow("own title, critical")
        << std::optional<QString>("Invalid Length") << int(MessageIcon::Critical)
        << "Invalid Length" << QMessageBox::Critical;
}

void ModalMessageTest::shownModally()
{
    QFETCH(std::optional<QString>, title);
    QFETCH(int, icon);
    QFETCH(QString, expectedTitle);
    QFETCH(QMessageBox::Icon, expectedIcon);

    QWidget parent;
    parent.show();
    const QString text = QStringLiteral("<b>not markup</b>");

    QString seenTitle, seenText;
    QMessageBox::Icon seenIcon = QMessageBox::Question;
    int buttons = 0;
    bool modal = false;
    bool answered = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        buttons = box->buttons().size();
        modal = box->isModal() && box->textFormat() == Qt::PlainText;
        answered = true;
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    answer.start(10);
    // Should the box not be answered, it is closed after a while and the test fails instead of
    // waiting for an operator who never comes.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] {
        if (QWidget *stuck = QApplication::activeModalWidget())
            stuck->close();
    });
    watchdog.start(5000);

    ModalMessage::show(&parent, text, title, MessageIcon(icon));

    QVERIFY2(answered, "the box never appeared");
    QCOMPARE(seenTitle, expectedTitle);
    QCOMPARE(seenText, text);
    QCOMPARE(seenIcon, expectedIcon);
    QCOMPARE(buttons, 1);
    QVERIFY(modal);
}

QTEST_MAIN(ModalMessageTest)
#include "tst_modalmessage.moc"
