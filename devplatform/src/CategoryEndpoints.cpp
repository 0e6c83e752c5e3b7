#include "CategoryEndpoints.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonObject>

#include "ApiAuth.h"
#include "ApiEnvelope.h"
#include "CategoryStore.h"
#include "PlatformContext.h"

namespace {

enum Code
{
    kCateNameBlank = 3000,
    kCategoryNotExist = 3001,
    kCateNameExists = 3003,
    kCategoryModifyLimited = 3005,
    kCateNameTooLong = 3010,
};

using P = Account::Permission;

// Looks a category up for the account: 3001 when the library has none, 106 when it lies
// outside the sub-account's part of the tree.
bool Reach(const CategoryStore& categories, const Account& account, const QString& text, qint64* id,
           httplib::Response& res)
{
    bool ok = false;
    *id = text.toLongLong(&ok);
    if (!ok || !categories.Get(account.Owner(), *id)) {
        ApiEnvelope::Failure(res, kCategoryNotExist, QStringLiteral("category does not exist"));
        return false;
    }
    if (!categories.Accessible(account, *id)) {
        ApiEnvelope::Failure(res, ApiAuth::kCategoryLimited, QStringLiteral("category limited"));
        return false;
    }
    return true;
}

// Blank and too long names are refused; the name is used trimmed.
bool CheckName(const QString& raw, QString* name, httplib::Response& res)
{
    *name = raw.trimmed();
    if (name->isEmpty()) {
        ApiEnvelope::Failure(res, kCateNameBlank, QStringLiteral("category name is blank"));
        return false;
    }
    if (name->toUcs4().size() > CategoryEndpoints::kMaxNameLength) {
        ApiEnvelope::Failure(res, kCateNameTooLong, QStringLiteral("category name too long"));
        return false;
    }
    return true;
}

bool SiblingHasName(const CategoryStore& categories, qint64 parentId, const QString& name,
                    qint64 except)
{
    for (const Category& sibling : categories.Children(parentId)) {
        if (sibling.id != except && sibling.name == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

void CategoryEndpoints::Register(httplib::Server& server)
{
    server.Get("/v3/category/get-cate-tree", [this](const httplib::Request& req,
                                                    httplib::Response& res) {
        const auto params = ApiAuth::Params(req);
        const auto account =
            ApiAuth::Verify(context_, req, res, params, {P::CataRefresh, P::CataSearch});
        if (!account) {
            return;
        }
        auto lock = context_.db->Lock();
        const CategoryStore categories(*context_.db);
        qint64 top = 0;
        if (!Reach(categories, *account, params.value(QStringLiteral("cateId")), &top, res)) {
            return;
        }
        const QList<Category> all = categories.All(account->Owner());
        const QHash<qint64, int> counts = categories.VideoCounts(account->Owner());
        QHash<qint64, QList<const Category*>> children;
        const Category* topCategory = nullptr;
        for (const Category& category : all) {
            children[category.parentId].append(&category);
            if (category.id == top) {
                topCategory = &category;
            }
        }
        QString topPath;
        for (qint64 id : categories.PathOf(top)) {
            topPath += (topPath.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(id);
        }
        // Depth-first, each node built after its children.
        std::function<QJsonObject(const Category&, const QString&)> build =
            [&](const Category& category, const QString& path) {
                QJsonArray nodes;
                for (const Category* child : children.value(category.id)) {
                    nodes.append(
                        build(*child, path + QLatin1Char(',') + QString::number(child->id)));
                }
                return QJsonObject{{QStringLiteral("cateId"), category.id},
                                   {QStringLiteral("cateName"), category.name},
                                   {QStringLiteral("cateTree"), path},
                                   {QStringLiteral("parentId"), category.parentId},
                                   {QStringLiteral("videoCount"), counts.value(category.id)},
                                   {QStringLiteral("children"), nodes}};
            };
        ApiEnvelope::Success(res, build(*topCategory, topPath));
    });

    server.Post("/v3/category/add", [this](const httplib::Request& req, httplib::Response& res) {
        const auto params = ApiAuth::Params(req);
        const auto account = ApiAuth::Verify(context_, req, res, params, {P::CataAdd});
        if (!account) {
            return;
        }
        auto lock = context_.db->Lock();
        const CategoryStore categories(*context_.db);
        qint64 parent = 0;
        QString name;
        if (!Reach(categories, *account, params.value(QStringLiteral("parentId")), &parent, res) ||
            !CheckName(params.value(QStringLiteral("name")), &name, res)) {
            return;
        }
        if (SiblingHasName(categories, parent, name, 0)) {
            ApiEnvelope::Failure(res, kCateNameExists, QStringLiteral("category name exists"));
            return;
        }
        const qint64 id = categories.Insert(account->Owner(), parent, name);
        if (id == 0) {
            ApiEnvelope::Failure(res, 9, QStringLiteral("store failed"));
            return;
        }
        ApiEnvelope::Success(res, id);
    });

    server.Post(
        "/v3/category/update-info", [this](const httplib::Request& req, httplib::Response& res) {
            const auto params = ApiAuth::Params(req);
            const auto account = ApiAuth::Verify(context_, req, res, params, {P::CataRename});
            if (!account) {
                return;
            }
            auto lock = context_.db->Lock();
            const CategoryStore categories(*context_.db);
            qint64 id = 0;
            QString name;
            if (!Reach(categories, *account, params.value(QStringLiteral("cateId")), &id, res) ||
                !CheckName(params.value(QStringLiteral("cateName")), &name, res)) {
                return;
            }
            const Category category = *categories.Get(account->Owner(), id);
            if (category.parentId == 0 || id == account->rootCateId) {
                ApiEnvelope::Failure(res, kCategoryModifyLimited,
                                     QStringLiteral("the top category cannot be renamed"));
                return;
            }
            if (SiblingHasName(categories, category.parentId, name, id)) {
                ApiEnvelope::Failure(res, kCateNameExists, QStringLiteral("category name exists"));
                return;
            }
            categories.Rename(id, name);
            ApiEnvelope::Success(res);
        });

    server.Post("/v3/category/update-cate", [this](const httplib::Request& req,
                                                   httplib::Response& res) {
        const auto params = ApiAuth::Params(req);
        const auto account = ApiAuth::Verify(context_, req, res, params, {P::CataMove});
        if (!account) {
            return;
        }
        auto lock = context_.db->Lock();
        const CategoryStore categories(*context_.db);
        qint64 id = 0;
        qint64 dest = 0;
        if (!Reach(categories, *account, params.value(QStringLiteral("cateId")), &id, res) ||
            !Reach(categories, *account, params.value(QStringLiteral("destCateId")), &dest, res)) {
            return;
        }
        const Category category = *categories.Get(account->Owner(), id);
        if (category.parentId == 0 || id == account->rootCateId) {
            ApiEnvelope::Failure(res, kCategoryModifyLimited,
                                 QStringLiteral("the top category cannot be moved"));
            return;
        }
        if (categories.PathOf(dest).contains(id)) {
            ApiEnvelope::Failure(res, kCategoryModifyLimited,
                                 QStringLiteral("a category cannot move into its own subtree"));
            return;
        }
        if (SiblingHasName(categories, dest, category.name, id)) {
            ApiEnvelope::Failure(res, kCateNameExists,
                                 QStringLiteral("the destination has a category of that name"));
            return;
        }
        categories.Move(id, dest);
        ApiEnvelope::Success(res);
    });
}
