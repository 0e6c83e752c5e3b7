#pragma once

#include <initializer_list>
#include <mutex>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// The server's SQLite store. The HTTP workers are many threads and a Qt SQL connection belongs
// to the thread that opened it, so every thread gets its own connection on first use; one
// process-wide lock serialises the statements, which keeps SQLite free of busy errors and lets
// a handler read and write as one step.
class Database
{
public:
    explicit Database(QString path);
    ~Database();

    // Opens the file and creates the schema; called once before any worker runs.
    bool Open(QString* error);

    // The calling thread's connection.
    QSqlDatabase Connection() const;
    QSqlQuery Query() const { return QSqlQuery(Connection()); }

    // Held for the whole of one handler's database work.
    std::unique_lock<std::recursive_mutex> Lock() const
    {
        return std::unique_lock<std::recursive_mutex>(mutex_);
    }

    // A text value for a NOT NULL column: Qt binds a null QString as SQL NULL.
    static QString Text(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

    // Binds the values in order; null strings become empty ones.
    static void Bind(QSqlQuery& query, std::initializer_list<QVariant> values);

    // Runs a prepared query; logs and returns false on failure.
    static bool Exec(QSqlQuery& query);
    // Runs a statement without parameters.
    bool Exec(const QString& statement) const;

private:
    QString path_;
    QString prefix_;
    mutable std::recursive_mutex mutex_;
};
