#include "ui/AccountTableLoader.h"

#include "core/AccountTable.h"

#include <QThread>

AccountTableLoader::AccountTableLoader(const QString &applicationFolder, QObject *parent)
    : QObject(parent), m_applicationFolder(applicationFolder)
{}

AccountTableLoader::~AccountTableLoader()
{
    if (m_cancel)
        *m_cancel = true;
    for (QThread *thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
}

void AccountTableLoader::start()
{
    if (m_cancel)
        *m_cancel = true;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    const quint64 generation = ++m_generation;
    m_loading = true;

    // The thread reports back through queued calls on this object, which outlives it: the
    // destructor waits for every thread.
    const auto cancel = m_cancel;
    const QString folder = m_applicationFolder;
    QThread *thread = QThread::create([this, cancel, folder, generation] {
        auto table = std::make_shared<AccountTable>();
        const AccountTable::LoadResult result = table->load(
            folder,
            [this, generation](qint64 bytesRead, qint64 fileSize) {
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, bytesRead, fileSize] {
                        if (generation == m_generation)
                            emit progress(bytesRead, fileSize);
                    },
                    Qt::QueuedConnection);
            },
            cancel.get());
        if (*cancel)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, table, result] {
                if (generation != m_generation)
                    return;
                m_loading = false;
                if (result.outcome == ReadOutcome::Done)
                    emit loaded(table);
                else
                    emit failed(result.errorText);
            },
            Qt::QueuedConnection);
    });
    m_threads.append(thread);
    connect(thread, &QThread::finished, this, [this, thread] {
        m_threads.removeOne(thread);
        thread->deleteLater();
    });
    thread->start();
}
