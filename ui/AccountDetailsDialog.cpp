#include "ui/AccountDetailsDialog.h"

#include "core/GmFlags.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int flagColumns = 2;

} // namespace

AccountDetailsDialog::AccountDetailsDialog(const AccountRecord &record, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Edit %1").arg(record.username));
    setAccessibleName(QStringLiteral("Edit account"));
    auto *layout = new QFormLayout(this);

    optMale = new QRadioButton(QStringLiteral("&Male"), this);
    optMale->setObjectName(QStringLiteral("optMale"));
    optMale->setAccessibleName(QStringLiteral("Male"));
    optFemale = new QRadioButton(QStringLiteral("&Female"), this);
    optFemale->setObjectName(QStringLiteral("optFemale"));
    optFemale->setAccessibleName(QStringLiteral("Female"));
    (record.male ? optMale : optFemale)->setChecked(true);
    auto *genders = new QHBoxLayout;
    genders->addWidget(optMale);
    genders->addWidget(optFemale);
    genders->addStretch();
    layout->addRow(QStringLiteral("Gender:"), genders);

    txtEmail = new QLineEdit(record.email, this);
    txtEmail->setObjectName(QStringLiteral("txtEmail"));
    txtEmail->setAccessibleName(QStringLiteral("E-mail"));
    layout->addRow(QStringLiteral("&E-mail:"), txtEmail);

    auto *flags = new QGroupBox(QStringLiteral("GM flags"), this);
    flags->setAccessibleName(flags->title());
    auto *grid = new QGridLayout(flags);
    for (const GmFlag &flag : gmFlags) {
        auto *box = new QCheckBox(QLatin1String(flag.caption), flags);
        box->setObjectName(QLatin1String(flag.checkBoxName));
        box->setAccessibleName(QLatin1String(flag.name));
        const int place = int(m_flagBoxes.size());
        grid->addWidget(box, place / flagColumns, place % flagColumns);
        m_flagBoxes.append(box);
    }
    auto *selectAll = new QPushButton(QStringLiteral("Select ALL"), flags);
    selectAll->setObjectName(QStringLiteral("cmdSelectAll"));
    selectAll->setAccessibleName(selectAll->text());
    auto *clearAll = new QPushButton(QStringLiteral("Clear All"), flags);
    clearAll->setObjectName(QStringLiteral("cmdClearAll"));
    clearAll->setAccessibleName(clearAll->text());
    const int buttonRow = int(m_flagBoxes.size() + flagColumns - 1) / flagColumns;
    grid->addWidget(selectAll, buttonRow, 0);
    grid->addWidget(clearAll, buttonRow, 1);
    connect(selectAll, &QPushButton::clicked, this, [this] { setGmFlagTotal(allGmFlags); });
    connect(clearAll, &QPushButton::clicked, this, [this] { setGmFlagTotal(0); });
    layout->addRow(flags);
    setGmFlagTotal(record.gmFlags);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &AccountDetailsDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool AccountDetailsDialog::isMaleSelected() const
{
    return optMale->isChecked();
}

QString AccountDetailsDialog::email() const
{
    return txtEmail->text();
}

qint32 AccountDetailsDialog::gmFlagTotal() const
{
    qint32 total = 0;
    for (std::size_t i = 0; i < gmFlags.size(); ++i) {
        if (m_flagBoxes.at(qsizetype(i))->isChecked())
            total |= gmFlags[i].value;
    }
    return total;
}

void AccountDetailsDialog::setGmFlagTotal(qint32 total)
{
    for (std::size_t i = 0; i < gmFlags.size(); ++i)
        m_flagBoxes.at(qsizetype(i))->setChecked((total & gmFlags[i].value) != 0);
}
