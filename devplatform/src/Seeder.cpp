#include "Seeder.h"

#include <QDateTime>
#include <QDebug>
#include <QVariant>

#include "AccountStore.h"
#include "CategoryStore.h"
#include "Crypto.h"
#include "Database.h"

namespace {

constexpr qint64 kDayMs = 24LL * 3600 * 1000;
constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// The permission sets of the demo's sub-account roles (bits as in Account::Permission).
int Bits(std::initializer_list<Account::Permission> permissions)
{
    int bits = 0;
    for (auto p : permissions) {
        bits |= 1 << p;
    }
    return bits;
}

}  // namespace

bool Seeder::Seed(const QString& seed, QString* error)
{
    auto lock = db_.Lock();
    QSqlQuery q = db_.Query();
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM accounts")) || !q.next()) {
        *error = QStringLiteral("cannot read the store");
        return false;
    }
    if (q.value(0).toInt() > 0 || seed == QLatin1String("empty")) {
        return true;
    }
    q.finish();
    db_.Connection().transaction();
    bool ok = SeedDemo();
    if (ok && seed == QLatin1String("large")) {
        ok = SeedLarge();
    }
    if (!ok || !db_.Connection().commit()) {
        db_.Connection().rollback();
        *error = QStringLiteral("seeding failed");
        return false;
    }
    return true;
}

bool Seeder::AddMain(Account* account, const QString& password, const QString& rootName)
{
    account->password = Crypto::Sha1PasswordDigest(password);
    account->mainId = 0;
    account->accountType = -1;
    account->permissions = Account::kAllPermissions;
    if (!AccountStore(db_).Insert(account)) {
        return false;
    }
    account->rootCateId = CategoryStore(db_).Insert(account->id, 0, rootName);
    return account->rootCateId != 0 &&
           AccountStore(db_).SetRootCategory(account->id, account->rootCateId);
}

bool Seeder::AddSub(Account* account, const Account& main, const QString& password)
{
    account->password = Crypto::Sha1PasswordDigest(password);
    account->mainId = main.id;
    account->space = main.space;
    account->packageType = main.packageType;
    if (account->rootCateId == 0) {
        account->rootCateId = main.rootCateId;
    }
    return AccountStore(db_).Insert(account);
}

bool Seeder::AddVideo(qint64 owner, const QString& userId, qint64 cateId, int index, int status,
                      const QString& title, qint64 createdMs, const QString& uploader)
{
    const QString vid =
        Crypto::Md5Hex(QStringLiteral("seed-video-%1-%2").arg(userId).arg(index).toUtf8()) +
        QLatin1Char('_') + userId.left(1);
    // Pictures exist from transcoding on; the file host draws them on first request.
    const bool pictures = status >= 20 || status == 6 || status == 7;
    const QString dir = userId + QLatin1Char('/') + vid + QLatin1Char('/');
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral(
        "INSERT INTO videos (vid, owner, cate_id, title, description, tags, duration, size, "
        "status, created_ms, updated_ms, uploader, play_times, md5, filename, cover, thumbnail, "
        "snapshots) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const qint64 size = 1024LL * 1024 * (3 + (index * 37) % 400);
    Database::Bind(
        q, {QVariant(vid), QVariant(owner), QVariant(cateId), QVariant(title),
            QVariant(QStringLiteral("Description of %1").arg(title)),
            QVariant(index % 3 == 0 ? QStringLiteral("demo,lesson") : QStringLiteral("demo")),
            QVariant(30.0 + (index * 53) % 3600), QVariant(size), QVariant(status),
            QVariant(createdMs), QVariant(createdMs + 60000), QVariant(uploader),
            QVariant((index * 97) % 5000), QVariant(Crypto::Md5Hex(vid.toUtf8())),
            QVariant(QStringLiteral("video-%1.mp4").arg(index)),
            QVariant(pictures ? dir + QStringLiteral("cover.png") : QString()),
            QVariant(pictures ? dir + QStringLiteral("thumb.png") : QString()),
            QVariant(pictures ? 6 : 0)});
    return Database::Exec(q);
}

bool Seeder::SeedDemo()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const CategoryStore categories(db_);

    Account demo;
    demo.userId = QStringLiteral("1d3e5a7c9b");
    demo.email = QStringLiteral("demo@kavro.example");
    demo.appId = QStringLiteral("K1D3E5A7C9");
    demo.appSecret = QStringLiteral("demo-secret-6f1c2a9e4b7d");
    demo.expirationMs = now + 365 * kDayMs;
    demo.space = 100 * kGiB;
    demo.packageType = QStringLiteral("Enterprise");
    demo.userLevel = 3;
    demo.uploadType = QStringLiteral("tus");
    if (!AddMain(&demo, QStringLiteral("demo1234"), QStringLiteral("Library"))) {
        return false;
    }

    // Three levels below the library's top category.
    const qint64 courses = categories.Insert(demo.id, demo.rootCateId, QStringLiteral("Courses"));
    const qint64 marketing =
        categories.Insert(demo.id, demo.rootCateId, QStringLiteral("Marketing"));
    const qint64 archive = categories.Insert(demo.id, demo.rootCateId, QStringLiteral("Archive"));
    const qint64 maths = categories.Insert(demo.id, courses, QStringLiteral("Mathematics"));
    const qint64 physics = categories.Insert(demo.id, courses, QStringLiteral("Physics"));
    const qint64 languages = categories.Insert(demo.id, courses, QStringLiteral("Languages"));
    const qint64 campaigns = categories.Insert(demo.id, marketing, QStringLiteral("Campaigns"));
    const qint64 demos = categories.Insert(demo.id, marketing, QStringLiteral("Product demos"));
    const qint64 algebra = categories.Insert(demo.id, maths, QStringLiteral("Algebra"));
    const qint64 geometry = categories.Insert(demo.id, maths, QStringLiteral("Geometry"));
    const qint64 english = categories.Insert(demo.id, languages, QStringLiteral("English"));
    const qint64 chinese =
        categories.Insert(demo.id, languages, QString::fromUtf8("\xe4\xb8\xad\xe6\x96\x87"));
    const qint64 y2025 = categories.Insert(demo.id, campaigns, QStringLiteral("2025"));
    const qint64 y2026 = categories.Insert(demo.id, campaigns, QStringLiteral("2026"));
    const QList<qint64> videoCates = {demo.rootCateId, courses,   maths,   algebra, geometry,
                                      physics,         languages, english, chinese, marketing,
                                      campaigns,       y2025,     y2026,   demos,   archive};

    // Every status the platform reports, the released ones most often.
    const QList<int> statuses = {60, 60, 61, 60, 5, 6, 7, 10, 20, 40, 41, 50, 51, 52, 53, 60};
    for (int i = 0; i < 40; ++i) {
        const QString title = QStringLiteral("Demo video %1").arg(i + 1, 2, 10, QLatin1Char('0'));
        if (!AddVideo(demo.id, demo.userId, videoCates[i % videoCates.size()], i,
                      statuses[i % statuses.size()], title, now - (40 - i) * 3600 * 1000LL,
                      demo.email)) {
            return false;
        }
    }

    struct SubAccountSeed
    {
        const char* email;
        const char* name;
        int type;
        int permissions;
        qint64 root;
        bool expired;
    };
    using P = Account::Permission;
    const int viewing = Bits({P::CataSearch, P::CataRefresh, P::VideoAllSearch,
                              P::VideoCurrentcataSearch, P::OperaCopycode});
    const QList<SubAccountSeed> subs = {
        {"manager@kavro.example", "manager", 2, Account::kAllPermissions, 0, false},
        {"editor@kavro.example", "editor", 0,
         viewing | Bits({P::VideoUpload, P::TransferlistUpload, P::TransferlistComplete, P::CataAdd,
                         P::CataRename, P::OperaManage}),
         0, false},
        {"uploader@kavro.example", "uploader", 3,
         viewing | Bits({P::VideoUpload, P::TransferlistUpload, P::TransferlistComplete}), 0,
         false},
        {"viewer@kavro.example", "viewer", 1, viewing, 0, false},
        {"classifier@kavro.example", "classifier", 4,
         viewing | Bits({P::CataAdd, P::CataMove, P::CataRename, P::VideoUpdateCata}), courses,
         false},
        {"expired@kavro.example", "expired", 0, Account::kAllPermissions, 0, true},
        {"locked-sub@kavro.example", "locked-sub", 0, viewing, 0, false},
        {"livemanager@kavro.example", "livemanager", 5, viewing, 0, false},
        {"maintainer@kavro.example", "maintainer", 6,
         viewing | Bits({P::OperaManage, P::VideoUpdateCata, P::VideoDelete}), 0, false},
        {"distributer@kavro.example", "distributer", 7, viewing | Bits({P::VideoUpload}), 0, false},
    };
    int n = 0;
    for (const SubAccountSeed& seed : subs) {
        Account sub;
        sub.userId = QStringLiteral("5ab0c0d0%1").arg(++n, 2, 10, QLatin1Char('0'));
        sub.email = QString::fromLatin1(seed.email);
        sub.childName = QString::fromLatin1(seed.name);
        sub.accountType = seed.type;
        sub.permissions = seed.permissions;
        sub.appId = QStringLiteral("K1SUB%1").arg(n, 5, 10, QLatin1Char('0'));
        sub.appSecret = QStringLiteral("sub-secret-%1-%2").arg(QLatin1String(seed.name)).arg(n);
        sub.expirationMs = seed.expired ? now - kDayMs : now + 180 * kDayMs;
        sub.rootCateId = seed.root;
        sub.userLevel = demo.userLevel;
        sub.uploadType = demo.uploadType;
        sub.videoOnly = QStringLiteral("Y");
        if (!AddSub(&sub, demo, QStringLiteral("sub12345"))) {
            return false;
        }
    }

    // A second library, small and nearly full: isolation between libraries, storage refusals
    // and the login lock are tried on it.
    Account other;
    other.userId = QStringLiteral("7f0e1d2c3b");
    other.email = QStringLiteral("other@kavro.example");
    other.appId = QStringLiteral("K7F0E1D2C3");
    other.appSecret = QStringLiteral("other-secret-0a9b8c7d");
    other.expirationMs = now + 30 * kDayMs;
    other.space = 8 * 1024 * 1024;
    other.packageType = QStringLiteral("Trial");
    if (!AddMain(&other, QStringLiteral("other1234"), QStringLiteral("Other library"))) {
        return false;
    }
    categories.Insert(other.id, other.rootCateId, QStringLiteral("Inbox"));
    if (!AddVideo(other.id, other.userId, other.rootCateId, 1, 60, QStringLiteral("Other video"),
                  now - kDayMs, other.email)) {
        return false;
    }
    Account locked;
    locked.userId = QStringLiteral("0c0ffee000");
    locked.email = QStringLiteral("locked@kavro.example");
    locked.appId = QStringLiteral("K0C0FFEE00");
    locked.appSecret = QStringLiteral("locked-secret-11");
    locked.expirationMs = now + 30 * kDayMs;
    locked.space = kGiB;
    if (!AddMain(&locked, QStringLiteral("locked1234"), QStringLiteral("Locked library"))) {
        return false;
    }
    // A library as a new customer finds it: the top category and nothing else.
    Account fresh;
    fresh.userId = QStringLiteral("9e5f0a1b2c");
    fresh.email = QStringLiteral("new@kavro.example");
    fresh.appId = QStringLiteral("K9E5F0A1B2");
    fresh.appSecret = QStringLiteral("new-secret-3d4e5f60");
    fresh.expirationMs = now + 30 * kDayMs;
    fresh.space = 10 * kGiB;
    return AddMain(&fresh, QStringLiteral("new12345"), QStringLiteral("My library"));
}

bool Seeder::SeedLarge()
{
    const auto demo = AccountStore(db_).ByEmail(QStringLiteral("demo@kavro.example"));
    if (!demo) {
        return false;
    }
    const CategoryStore categories(db_);
    const qint64 top = categories.Insert(demo->id, demo->rootCateId, QStringLiteral("Bulk"));
    // 1 + 20 + 20*24 + 20*24*20 = 10,101 categories below the library's top.
    QList<qint64> leaves;
    for (int a = 0; a < 20; ++a) {
        const qint64 ca = categories.Insert(demo->id, top, QStringLiteral("Bulk %1").arg(a));
        for (int b = 0; b < 24; ++b) {
            const qint64 cb =
                categories.Insert(demo->id, ca, QStringLiteral("Bulk %1.%2").arg(a).arg(b));
            for (int c = 0; c < 20; ++c) {
                leaves.append(categories.Insert(
                    demo->id, cb, QStringLiteral("Bulk %1.%2.%3").arg(a).arg(b).arg(c)));
            }
        }
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < 100000; ++i) {
        if (!AddVideo(demo->id, demo->userId, leaves[i % leaves.size()], 1000 + i, 60,
                      QStringLiteral("Bulk video %1").arg(i, 6, 10, QLatin1Char('0')),
                      now - i * 60000LL, demo->email)) {
            return false;
        }
    }
    qInfo() << "seeded large library:" << leaves.size() << "leaf categories, 100000 videos";
    return true;
}
