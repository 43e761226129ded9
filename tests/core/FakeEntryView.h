#pragma once

#include "core/CreateAccount.h"
#include "core/EntryView.h"

#include <QList>
#include <QMap>

// An entry view without a window: it keeps the boxes and records every message box.
class FakeEntryView : public EntryView
{
public:
    struct Message
    {
        QString text;
        std::optional<QString> title;
        MessageIcon icon;
        QString usernameShown; // the username box while the box was up
    };

    QMap<EntryBox, QString> boxes;
    bool male = true;
    QString recordLabel;
    QString folder;
    QList<Message> messages;
    QList<QString> emailWrites; // every text written into the e-mail box
    qint32 gmFlags = 0;
    int clears = 0;
    CreateAccountState kept;

    QString text(EntryBox box) const override { return boxes.value(box); }
    void setText(EntryBox box, const QString &text) override
    {
        if (box == EntryBox::Email)
            emailWrites.append(text);
        boxes[box] = text;
    }
    bool isMaleSelected() const override { return male; }
    void setMaleSelected(bool selected) override { male = selected; }
    void setRecordLabel(const QString &caption) override { recordLabel = caption; }
    QString applicationFolder() const override { return folder; }
    void showMessageBox(const QString &text, const std::optional<QString> &title,
                        MessageIcon icon) override
    {
        messages.append({text, title, icon, boxes.value(EntryBox::Username)});
    }
    qint32 gmFlagTotal() const override { return gmFlags; }
    void setGmFlagTotal(qint32 total) override { gmFlags = total; }
    void runClear() override
    {
        ++clears;
        ClearEntry(*this);
    }
    CreateAccountState &keptValues() override { return kept; }

    void type(const QString &username, const QString &password, const QString &email)
    {
        boxes[EntryBox::Username] = username;
        boxes[EntryBox::Password] = password;
        boxes[EntryBox::Email] = email;
    }
};
