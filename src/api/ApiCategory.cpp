#include "api/ApiCategory.h"

#include "api/ApiEnvelope.h"
#include "api/ApiRequest.h"

namespace {

const char kTreeTag[] = "get-cate-tree:";
const char kAddTag[] = "add-category:";
const char kRenameTag[] = "rename-category:";
const char kMoveTag[] = "move-category:";

}  // namespace

namespace ApiCollection {

RequestError GetCateTreeRequest(const QUuid& requestId, quint64 cateId, QByteArray* response,
                                bool* abortFlag, QString* errorText)
{
    // The whole tree of a large account takes the platform a while to assemble.
    return runSignedRequest(
        makeSetup(requestId, kTreeTag, "GET", 60, response, abortFlag, errorText),
        QStringLiteral("/v3/category/get-cate-tree"),
        {{QStringLiteral("cateId"), QString::number(cateId)}});
}

RequestError ParseGetCateTreeResponse(const QByteArray& response, GetCateTreeResult* result)
{
    QJsonObject root;
    const RequestError envelope = parseEnvelope(kTreeTag, response, result, &root);
    if (envelope != NoError) {
        return envelope;
    }
    const QJsonValue data = root.value(QLatin1String("data"));
    if (!data.isObject()) {
        return payloadError(kTreeTag, "data field is not object in request", *result);
    }
    result->data = data.toObject();
    return NoError;
}

RequestError AddCategoryRequest(const QUuid& requestId, quint64 parentId, const QString& name,
                                QByteArray* response, bool* abortFlag, QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kAddTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/category/add"),
        {{QStringLiteral("name"), name}, {QStringLiteral("parentId"), QString::number(parentId)}});
}

RequestError ParseAddCategoryResponse(const QByteArray& response, AddCategoryResult* result)
{
    QJsonObject root;
    const RequestError envelope = parseEnvelope(kAddTag, response, result, &root);
    if (envelope != NoError) {
        return envelope;
    }
    const QJsonValue data = root.value(QLatin1String("data"));
    result->cateId = data.isDouble() ? readUInt64(data) : 0;
    return NoError;
}

RequestError RenameCategoryRequest(const QUuid& requestId, quint64 cateId, const QString& cateName,
                                   QByteArray* response, bool* abortFlag, QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kRenameTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/category/update-info"),
        {{QStringLiteral("cateId"), QString::number(cateId)},
         {QStringLiteral("cateName"), cateName}});
}

RequestError ParseRenameCategoryResponse(const QByteArray& response, ApiResult* result)
{
    QJsonObject root;
    return parseEnvelope(kRenameTag, response, result, &root);
}

RequestError MoveCategoryRequest(const QUuid& requestId, quint64 cateId, quint64 destCateId,
                                 QByteArray* response, bool* abortFlag, QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kMoveTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/category/update-cate"),
        {{QStringLiteral("cateId"), QString::number(cateId)},
         {QStringLiteral("destCateId"), QString::number(destCateId)}});
}

RequestError ParseMoveCategoryResponse(const QByteArray& response, ApiResult* result)
{
    QJsonObject root;
    return parseEnvelope(kMoveTag, response, result, &root);
}

}  // namespace ApiCollection
