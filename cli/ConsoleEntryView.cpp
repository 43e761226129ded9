#include "ConsoleEntryView.h"

#include "Console.h"

#include <CreateAccount.h>

ConsoleEntryView::ConsoleEntryView(const QString &applicationFolder)
    : m_applicationFolder(applicationFolder)
{}

QString ConsoleEntryView::text(EntryBox box) const
{
    switch (box) {
    case EntryBox::Username:
        return m_username;
    case EntryBox::Password:
        return m_password;
    case EntryBox::Email:
        return m_email;
    }
    return {};
}

void ConsoleEntryView::setText(EntryBox box, const QString &text)
{
    switch (box) {
    case EntryBox::Username:
        m_username = text;
        break;
    case EntryBox::Password:
        m_password = text;
        break;
    case EntryBox::Email:
        m_email = text;
        break;
    }
}

void ConsoleEntryView::showMessageBox(const QString &text, const std::optional<QString> &title,
                                      MessageIcon)
{
    printError(title ? *title + QStringLiteral(": ") + text : text);
}

void ConsoleEntryView::runClear()
{
    ClearEntry(*this);
}
