#include "models/RecursiveFilterProxyModel.h"

void RecursiveFilterProxyModel::SetupForCategories(QAbstractItemModel* categories)
{
    setSourceModel(categories);
    setFilterKeyColumn(0);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setRecursiveFilteringEnabled(true);
}

bool RecursiveFilterProxyModel::filterAcceptsRow(int sourceRow,
                                                 const QModelIndex& sourceParent) const
{
    if (QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent)) {
        return true;
    }
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const int children = sourceModel()->rowCount(index);
    for (int row = 0; row < children; ++row) {
        if (filterAcceptsRow(row, index)) {
            return true;
        }
    }
    return false;
}

QModelIndexList RecursiveFilterProxyModel::match(const QModelIndex& start, int role,
                                                 const QVariant& value, int hits,
                                                 Qt::MatchFlags flags) const
{
    if (role < Qt::UserRole) {
        return QSortFilterProxyModel::match(start, role, value, hits, flags);
    }
    QModelIndexList result;
    const QModelIndexList found =
        sourceModel()->match(mapToSource(start), role, value, hits, flags);
    for (const QModelIndex& index : found) {
        const QModelIndex mapped = mapFromSource(index);
        if (mapped.isValid()) {
            result.append(mapped);
        }
    }
    return result;
}
