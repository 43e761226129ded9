#include "ui/AccountDetailsFields.h"

#include "core/GmFlags.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// As the GM selection window stacks them: down the first column, then down the second.
constexpr int flagRows = 8;

template <typename Button>
Button *makeButton(QWidget *parent, const char *name, const QString &caption,
                   const QString &accessibleName)
{
    auto *button = new Button(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(accessibleName);
    return button;
}

} // namespace

AccountDetailsFields::AccountDetailsFields(QWidget *dialog, QFormLayout *layout, bool male,
                                           const QString &email, qint32 flagTotal)
    : QObject(dialog)
{
    optMale = makeButton<QRadioButton>(dialog, "optMale", QStringLiteral("&Male"),
                                       QStringLiteral("Male"));
    optFemale = makeButton<QRadioButton>(dialog, "optFemale", QStringLiteral("&Female"),
                                         QStringLiteral("Female"));
    (male ? optMale : optFemale)->setChecked(true);
    auto *genders = new QHBoxLayout;
    genders->addWidget(optMale);
    genders->addWidget(optFemale);
    genders->addStretch();
    layout->addRow(QStringLiteral("Gender:"), genders);

    txtEmail = new QLineEdit(email, dialog);
    txtEmail->setObjectName(QStringLiteral("txtEmail"));
    txtEmail->setAccessibleName(QStringLiteral("E-mail"));
    txtEmail->setPlaceholderText(QStringLiteral("Optional: none when left empty"));
    layout->addRow(QStringLiteral("&E-mail:"), txtEmail);

    auto *flags = new QGroupBox(QStringLiteral("GM flags"), dialog);
    flags->setAccessibleName(flags->title());
    auto *grid = new QGridLayout(flags);
    for (const GmFlag &flag : gmFlags) {
        auto *box = makeButton<QCheckBox>(flags, flag.checkBoxName, QLatin1String(flag.caption),
                                          QLatin1String(flag.name));
        const int place = int(m_flagBoxes.size());
        grid->addWidget(box, place % flagRows, place / flagRows);
        m_flagBoxes.append(box);
    }
    auto *selectAll = makeButton<QPushButton>(flags, "cmdSelectAll", QStringLiteral("Select ALL"),
                                              QStringLiteral("Select ALL"));
    auto *clearAll = makeButton<QPushButton>(flags, "cmdClearAll", QStringLiteral("Clear All"),
                                             QStringLiteral("Clear All"));
    grid->addWidget(selectAll, flagRows, 0);
    grid->addWidget(clearAll, flagRows, 1);
    connect(selectAll, &QPushButton::clicked, this, [this] { setGmFlagTotal(allGmFlags); });
    connect(clearAll, &QPushButton::clicked, this, [this] { setGmFlagTotal(0); });
    layout->addRow(flags);
    setGmFlagTotal(flagTotal);
}

bool AccountDetailsFields::isMaleSelected() const
{
    return optMale->isChecked();
}

QString AccountDetailsFields::email() const
{
    return txtEmail->text();
}

qint32 AccountDetailsFields::gmFlagTotal() const
{
    qint32 total = 0;
    for (std::size_t i = 0; i < gmFlags.size(); ++i) {
        if (m_flagBoxes.at(qsizetype(i))->isChecked())
            total |= gmFlags[i].value;
    }
    return total;
}

void AccountDetailsFields::setGmFlagTotal(qint32 total)
{
    for (std::size_t i = 0; i < gmFlags.size(); ++i)
        m_flagBoxes.at(qsizetype(i))->setChecked((total & gmFlags[i].value) != 0);
}
