#pragma once

#include <QSortFilterProxyModel>

// The filter between the category tree and its views: a category stays visible when its own
// name or the name of any descendant contains the filter text, so a match keeps its whole
// ancestor chain. `match` on the category roles searches the whole tree through the source
// model and drops what the filter hides.
class RecursiveFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // Source, key column 0, case-insensitive, recursive: the setup every owner uses.
    void SetupForCategories(QAbstractItemModel* categories);

    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith |
                                                                Qt::MatchWrap)) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};
