#pragma once

#include <QString>

#include "Account.h"

class Database;

// Fills an empty store with the data of a seed: "empty" (nothing), "demo" (the accounts,
// category tree and videos of docs/devplatform.md) or "large" (demo plus a library of 10,000
// categories and 100,000 videos for benchmarks). A store that already holds accounts is kept.
class Seeder
{
public:
    explicit Seeder(Database& db) : db_(db) {}
    bool Seed(const QString& seed, QString* error);

private:
    bool SeedDemo();
    bool SeedLarge();
    // A main account with its top category; returns it with id and rootCateId set.
    bool AddMain(Account* account, const QString& password, const QString& rootName);
    bool AddSub(Account* account, const Account& main, const QString& password);
    bool AddVideo(qint64 owner, const QString& userId, qint64 cateId, int index, int status,
                  const QString& title, qint64 createdMs, const QString& uploader);

    Database& db_;
};
