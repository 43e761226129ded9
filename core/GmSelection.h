#pragma once

#include <QtGlobal>

#include <array>

// The seventeen check boxes of the GM selection window: the sixteen flags in table order, then
// Select ALL. setState must run the changed box's handler at once, before it returns, exactly
// as a click would; setting a box to the state it already has runs nothing.
class GmCheckBoxes
{
public:
    static constexpr int selectAll = 16;

    virtual ~GmCheckBoxes() = default;
    virtual int state(int box) const = 0; // 0 unchecked, 1 checked
    virtual void setState(int box, int state) = 0;
};

// What the GM selection window decides. Each flag keeps a slot holding 0 or the flag's value,
// recomputed from its box whenever the box changes. The total it hands over on Done, and
// resets when the window opens, is the windows' shared GM flag total.
class GmSelection
{
public:
    GmSelection(GmCheckBoxes &boxes, qint32 &sharedTotal);

    void open();                // Form_Load
    void flagChanged(int flag); // chkBroadcast_Click ... chkWorld_Click
    void selectAllChanged();    // chkSelectAll_Click
    void clearAll();            // cmdClear_Click
    void done();                // cmdDone_Click; the window unloads itself afterwards

    qint32 slot(int flag) const { return m_slots.at(flag); }

private:
    GmCheckBoxes &m_boxes;
    qint32 &m_total;
    std::array<qint32, 16> m_slots{};
};
