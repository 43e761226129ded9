#pragma once

#include <EntryView.h>

#include <QString>

// The entry of one `kadd add`, held in memory. Message boxes become lines on standard error
// ("Title: text"; a box without a title shows its text alone, as "Username exist").
class ConsoleEntryView : public EntryView
{
public:
    explicit ConsoleEntryView(const QString &applicationFolder);

    QString text(EntryBox box) const override;
    void setText(EntryBox box, const QString &text) override;
    bool isMaleSelected() const override { return m_male; }
    void setMaleSelected(bool selected) override { m_male = selected; }
    void setRecordLabel(const QString &) override {}
    QString applicationFolder() const override { return m_applicationFolder; }
    void showMessageBox(const QString &text, const std::optional<QString> &title,
                        MessageIcon icon) override;
    qint32 gmFlagTotal() const override { return m_gmFlags; }
    void setGmFlagTotal(qint32 total) override { m_gmFlags = total; }
    void runClear() override;
    CreateAccountState &keptValues() override { return m_kept; }

private:
    QString m_username;
    QString m_password;
    QString m_email;
    bool m_male = true;
    qint32 m_gmFlags = 0;
    QString m_applicationFolder;
    CreateAccountState m_kept;
};
