#include "core/GmSelection.h"

#include "core/GmFlags.h"

GmSelection::GmSelection(GmCheckBoxes &boxes, qint32 &sharedTotal)
    : m_boxes(boxes), m_total(sharedTotal)
{}

void GmSelection::open()
{
    m_total = 0;
    m_slots.fill(0);
}

void GmSelection::flagChanged(int flag)
{
    m_slots.at(flag) = m_boxes.state(flag) == 1 ? gmFlags.at(flag).value : 0;
}

void GmSelection::selectAllChanged()
{
    // The Select ALL box's own state is not consulted: unticking it leaves every flag ticked.
    for (int flag = 0; flag < int(gmFlags.size()); ++flag)
        m_boxes.setState(flag, 1);
}

void GmSelection::clearAll()
{
    // Unticking a ticked Select ALL runs its handler first, which ticks every flag again; the
    // loop below then unticks them all.
    m_boxes.setState(GmCheckBoxes::selectAll, 0);
    for (int flag = 0; flag < int(gmFlags.size()); ++flag)
        m_boxes.setState(flag, 0);
}

void GmSelection::done()
{
    qint32 total = 0;
    for (const qint32 slot : m_slots)
        total += slot;
    m_total = total;
}
