#include "ui/ControlFonts.h"
#include "ui/frmGmSelect.h"
#include "ui/frmKeltoAccountCreator.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QtTest>

#include <memory>

// The layouts are fixed in pixels, so a wider font silently cuts captions off. Both windows
// are measured with Tahoma and with the fallback used where Tahoma is missing.
class CaptionsFitTest : public QObject
{
    Q_OBJECT

private slots:
    void captionsFit_data();
    void captionsFit();
    void cleanup() { ControlFonts::setTahomaAllowed(true); }
};

namespace {

// The room a caption has inside its control, or an empty size when it has no caption.
QSize captionRoom(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text().isEmpty() ? QSize() : label->contentsRect().size();
    auto *button = qobject_cast<QAbstractButton *>(widget);
    if (!button)
        return {};
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (qobject_cast<QCheckBox *>(button))
        return button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button).size();
    if (qobject_cast<QRadioButton *>(button))
        return button->style()
            ->subElementRect(QStyle::SE_RadioButtonContents, &option, button)
            .size();
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    return button->size() - QSize(2 * margin, 2 * margin);
}

QString caption(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    return static_cast<QAbstractButton *>(widget)->text();
}

} // namespace

void CaptionsFitTest::captionsFit_data()
{
    QTest::addColumn<bool>("tahoma");
    if (ControlFonts::tahomaAvailable())
        QTest::newRow("Tahoma") << true;
    QTest::newRow("fallback font") << false;
}

void CaptionsFitTest::captionsFit()
{
    QFETCH(bool, tahoma);
    ControlFonts::setTahomaAllowed(tahoma);

    std::unique_ptr<QWidget> windows[] = {std::make_unique<frmKeltoAccountCreator>(QString()),
                                          std::make_unique<frmGmSelect>()};
    for (const auto &window : windows) {
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            const QSize room = captionRoom(widget);
            if (room.isEmpty())
                continue;
            const QSize needed = widget->fontMetrics().size(0, caption(widget));
            QVERIFY2(needed.width() <= room.width() && needed.height() <= widget->height(),
                     qPrintable(QStringLiteral("%1 needs %2x%3, has %4x%5 (%6)")
                                    .arg(widget->objectName())
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(room.width())
                                    .arg(widget->height())
                                    .arg(widget->font().family())));
        }
    }
}

QTEST_MAIN(CaptionsFitTest)
#include "tst_captionsfit.moc"
