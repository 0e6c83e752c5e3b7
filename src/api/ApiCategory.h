#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include "api/ApiCollection.h"

// The four signed category requests: fetch a subtree, add, rename and move a category.
// Category identifiers are unsigned 64-bit and travel as decimal strings.
namespace ApiCollection {

struct AddCategoryResult : ApiResult
{
    quint64 cateId = 0;
};

struct GetCateTreeResult : ApiResult
{
    // The top node of the requested subtree: "cateId", "cateName", "cateTree", "parentId",
    // "videoCount", "children".
    QJsonObject data;
};

RequestError GetCateTreeRequest(const QUuid& requestId, quint64 cateId, QByteArray* response,
                                bool* abortFlag, QString* errorText);
RequestError ParseGetCateTreeResponse(const QByteArray& response, GetCateTreeResult* result);

RequestError AddCategoryRequest(const QUuid& requestId, quint64 parentId, const QString& name,
                                QByteArray* response, bool* abortFlag, QString* errorText);
RequestError ParseAddCategoryResponse(const QByteArray& response, AddCategoryResult* result);

RequestError RenameCategoryRequest(const QUuid& requestId, quint64 cateId, const QString& cateName,
                                   QByteArray* response, bool* abortFlag, QString* errorText);
RequestError ParseRenameCategoryResponse(const QByteArray& response, ApiResult* result);

RequestError MoveCategoryRequest(const QUuid& requestId, quint64 cateId, quint64 destCateId,
                                 QByteArray* response, bool* abortFlag, QString* errorText);
RequestError ParseMoveCategoryResponse(const QByteArray& response, ApiResult* result);

}  // namespace ApiCollection
