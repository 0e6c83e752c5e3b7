#include "store/WalCheckpointer.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

WalCheckpointer::~WalCheckpointer()
{
    Stop();
}

void WalCheckpointer::Start(const QString& path, int intervalMs)
{
    Stop();
    std::lock_guard<std::mutex> lock(mutex);
    stopping = false;
    thread = std::thread(&WalCheckpointer::Run, this, path, intervalMs);
}

void WalCheckpointer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

void WalCheckpointer::Run(const QString& path, int intervalMs)
{
    // A connection belongs to the thread that opened it: this one is opened, used and closed
    // here, under a name of its own.
    const QString name =
        QStringLiteral("kavro-wal-checkpoint-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(path);
        if (!database.open()) {
            qWarning() << "wal checkpoint: failed to open the db:" << database.lastError();
        } else {
            std::unique_lock<std::mutex> lock(mutex);
            while (!wake.wait_for(lock, std::chrono::milliseconds(intervalMs),
                                  [this] { return stopping; })) {
                lock.unlock();
                // Costs nothing when the log holds no new frames.
                QSqlQuery query(database);
                if (!query.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE);"))) {
                    qWarning() << "wal checkpoint failed:" << query.lastError();
                }
                query.finish();
                lock.lock();
            }
            lock.unlock();
            database.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
}
