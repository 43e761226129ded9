#pragma once

#include "core/GmSelection.h"
#include "ui/Module1.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QPushButton;

// The GM selection window. Every decision is GmSelection's; the window supplies the seventeen
// boxes and forwards their changes. It deletes itself when closed, so each opening starts over.
class frmGmSelect : public QWidget, public GmCheckBoxes
{
    Q_OBJECT

public:
    explicit frmGmSelect(QWidget *parent = nullptr);

    int state(int box) const override;
    void setState(int box, int state) override;

    void Form_Load();
    void chkBroadcast_Click();
    void chkItemSummon_Click();
    void chkMonsterSummon_Click();
    void chkChangeStatSkill_Click();
    void chkChangeOption_Click();
    void chkSaveReturn_Click();
    void chkChangeLevel_Click();
    void chkWarp_Click();
    void chkWhois_Click();
    void chkGotoSumBan_Click();
    void chkKilledAlive_Click();
    void chkChangeJob_Click();
    void chkChangeColorStyle_Click();
    void chkAutoRawUnit_Click();
    void chkRefine_Click();
    void chkWorld_Click();
    void chkSelectAll_Click();
    void cmdClear_Click();
    void cmdDone_Click();

private:
    void createControls();
    void connectHandlers();
    void applyTabOrder();
    QCheckBox *box(int box) const;

    // The flag boxes (chkBroadcast ... chkWorld) are m_boxes[0 .. 15], named after their flag.
    QCheckBox *chkSelectAll = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdDone = nullptr;

    // The flag boxes in table order, then Select ALL: the numbering GmCheckBoxes uses.
    std::array<QCheckBox *, 17> m_boxes{};
    GmSelection m_selection{*this, Module1::gmFlagTotal};
};
