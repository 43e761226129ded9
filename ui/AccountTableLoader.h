#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class AccountTable;
class QThread;

// Reads the account file into a new AccountTable on a thread of its own, so that the window
// stays responsive while a large file loads. A new start makes the load under way stale: it is
// cancelled, and only the latest load is reported.
class AccountTableLoader : public QObject
{
    Q_OBJECT

public:
    explicit AccountTableLoader(const QString &applicationFolder, QObject *parent = nullptr);
    ~AccountTableLoader() override; // cancels every load and waits for its thread

    void start();
    bool isLoading() const { return m_loading; }

signals:
    void progress(qint64 bytesRead, qint64 fileSize);
    void loaded(std::shared_ptr<const AccountTable> table);
    void failed(const QString &errorText);

private:
    QString m_applicationFolder;
    quint64 m_generation = 0;
    bool m_loading = false;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QList<QThread *> m_threads;
};
