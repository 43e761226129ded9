#include "ui/frmGmSelect.h"

#include "core/GmFlags.h"
#include "ui/CommandButton.h"
#include "ui/ControlFonts.h"
#include "ui/Twips.h"
#include "ui/WholeAreaCheckBox.h"

#include <QPushButton>

#include <algorithm>

namespace {

// Tab positions of the flag boxes, in table order. Focus does not follow the screen here:
// the order is part of how operators know this window.
constexpr std::array<int, 16> flagTabIndex{0, 1, 3, 4, 2, 5, 6, 7, 10, 11, 13, 14, 12, 8, 9, 18};
constexpr int selectAllTabIndex = 17;
constexpr int clearTabIndex = 16;
constexpr int doneTabIndex = 15;

QCheckBox *makeCheckBox(QWidget *window, const char *name, const QString &caption, QRect rect)
{
    auto *box = new WholeAreaCheckBox(caption, window);
    box->setObjectName(QLatin1String(name));
    box->setFont(ControlFonts::flagBox());
    box->setGeometry(rect);
    return box;
}

} // namespace

frmGmSelect::frmGmSelect(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmGmSelect"));
    setWindowTitle(QStringLiteral("Create GM"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(ControlFonts::dialog());
    resize(503, 355);
    // Shrunk further, the window would hide its own controls.
    setMinimumSize(size());

    createControls();
    connectHandlers();
    applyTabOrder();
    Form_Load();
}

void frmGmSelect::createControls()
{
    for (int flag = 0; flag < int(gmFlags.size()); ++flag) {
        const int column = flag / 8;
        const int row = flag % 8;
        const QRect rect = twips(column == 0 ? 240 : 3000, 240 + row * 600, 2295, 375);
        m_boxes[flag] = makeCheckBox(this, gmFlags[flag].checkBoxName,
                                     QLatin1String(gmFlags[flag].caption), rect);
    }
    chkSelectAll = makeCheckBox(this, "chkSelectAll", QStringLiteral("Select ALL"),
                                twips(5760, 720, 1215, 495));
    m_boxes[GmCheckBoxes::selectAll] = chkSelectAll;
    cmdClear = makeCommandButton(this, "cmdClear", QStringLiteral("Clear All"),
                                 twips(5640, 1800, 1575, 735));
    cmdDone =
        makeCommandButton(this, "cmdDone", QStringLiteral("Done"), twips(5640, 3360, 1575, 735));
}

void frmGmSelect::connectHandlers()
{
    // The flag boxes' handlers, in table order.
    static constexpr std::array<void (frmGmSelect::*)(), 16> flagHandlers{
        &frmGmSelect::chkBroadcast_Click,
        &frmGmSelect::chkItemSummon_Click,
        &frmGmSelect::chkMonsterSummon_Click,
        &frmGmSelect::chkChangeStatSkill_Click,
        &frmGmSelect::chkChangeOption_Click,
        &frmGmSelect::chkSaveReturn_Click,
        &frmGmSelect::chkChangeLevel_Click,
        &frmGmSelect::chkWarp_Click,
        &frmGmSelect::chkWhois_Click,
        &frmGmSelect::chkGotoSumBan_Click,
        &frmGmSelect::chkKilledAlive_Click,
        &frmGmSelect::chkChangeJob_Click,
        &frmGmSelect::chkChangeColorStyle_Click,
        &frmGmSelect::chkAutoRawUnit_Click,
        &frmGmSelect::chkRefine_Click,
        &frmGmSelect::chkWorld_Click,
    };
    static_assert(flagHandlers.size() == gmFlags.size());
    // toggled, not clicked: the selection's slots rely on hearing every change of state,
    // including those Select ALL and Clear All make, at the moment they are made.
    for (size_t flag = 0; flag < flagHandlers.size(); ++flag)
        connect(m_boxes[flag], &QCheckBox::toggled, this, flagHandlers[flag]);
    connect(chkSelectAll, &QCheckBox::toggled, this, &frmGmSelect::chkSelectAll_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmGmSelect::cmdClear_Click);
    connect(cmdDone, &QPushButton::clicked, this, &frmGmSelect::cmdDone_Click);
}

void frmGmSelect::applyTabOrder()
{
    std::array<std::pair<int, QWidget *>, 19> byTabIndex{};
    for (int flag = 0; flag < int(gmFlags.size()); ++flag)
        byTabIndex[flag] = {flagTabIndex[flag], m_boxes[flag]};
    byTabIndex[16] = {selectAllTabIndex, chkSelectAll};
    byTabIndex[17] = {clearTabIndex, cmdClear};
    byTabIndex[18] = {doneTabIndex, cmdDone};
    std::sort(byTabIndex.begin(), byTabIndex.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < byTabIndex.size(); ++i)
        QWidget::setTabOrder(byTabIndex[i - 1].second, byTabIndex[i].second);
    byTabIndex.front().second->setFocus();
}

QCheckBox *frmGmSelect::box(int box) const
{
    return m_boxes.at(box);
}

int frmGmSelect::state(int box) const
{
    return this->box(box)->isChecked() ? 1 : 0;
}

void frmGmSelect::setState(int box, int state)
{
    // setChecked emits toggled, and so runs the box's handler, only on a real change.
    this->box(box)->setChecked(state == 1);
}

void frmGmSelect::Form_Load()
{
    m_selection.open();
}

void frmGmSelect::chkBroadcast_Click()
{
    m_selection.flagChanged(0);
}

void frmGmSelect::chkItemSummon_Click()
{
    m_selection.flagChanged(1);
}

void frmGmSelect::chkMonsterSummon_Click()
{
    m_selection.flagChanged(2);
}

void frmGmSelect::chkChangeStatSkill_Click()
{
    m_selection.flagChanged(3);
}

void frmGmSelect::chkChangeOption_Click()
{
    m_selection.flagChanged(4);
}

void frmGmSelect::chkSaveReturn_Click()
{
    m_selection.flagChanged(5);
}

void frmGmSelect::chkChangeLevel_Click()
{
    m_selection.flagChanged(6);
}

void frmGmSelect::chkWarp_Click()
{
    m_selection.flagChanged(7);
}

void frmGmSelect::chkWhois_Click()
{
    m_selection.flagChanged(8);
}

void frmGmSelect::chkGotoSumBan_Click()
{
    m_selection.flagChanged(9);
}

void frmGmSelect::chkKilledAlive_Click()
{
    m_selection.flagChanged(10);
}

void frmGmSelect::chkChangeJob_Click()
{
    m_selection.flagChanged(11);
}

void frmGmSelect::chkChangeColorStyle_Click()
{
    m_selection.flagChanged(12);
}

void frmGmSelect::chkAutoRawUnit_Click()
{
    m_selection.flagChanged(13);
}

void frmGmSelect::chkRefine_Click()
{
    m_selection.flagChanged(14);
}

void frmGmSelect::chkWorld_Click()
{
    m_selection.flagChanged(15);
}

void frmGmSelect::chkSelectAll_Click()
{
    m_selection.selectAllChanged();
}

void frmGmSelect::cmdClear_Click()
{
    m_selection.clearAll();
}

void frmGmSelect::cmdDone_Click()
{
    m_selection.done();
    close();
}
