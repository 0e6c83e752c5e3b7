#pragma once

#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelection>
#include <QList>

// The video table's header: a check box in the checkable columns that checks or unchecks every
// row (and follows the rows' check states), and sort arrows on the sortable columns whose
// clicks cycle through the API's sort methods.
class CheckableHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    explicit CheckableHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

    void SetCheckable(int column);
    void SetSortable(int column);
    bool IsCheckBoxDisabled(int column) const;
    // Sort clicks are ignored while off (the batch-search result cannot be re-sorted).
    void SetSortEnabled(bool enabled) { sortEnabled = enabled; }
    bool SortEnabled() const { return sortEnabled; }
    int CurrentSortColumn() const { return sortColumn; }
    // The ApiCollection::SortMethod the current sort column and direction stand for.
    int CurrentSortMethod() const;

signals:
    void stateChanged(int column, Qt::CheckState state);
    void SignalSortChange(int sortMethod);

public slots:
    void SlotSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void SlotRowCountChanged(int count);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct CheckBox
    {
        mutable QRect rect;
        bool pressed = false;
        bool disabled = true;
    };

    void OnSectionClicked(int section);
    QRect CheckRect(const QRect& section) const;

    QList<int> checkable;
    QHash<int, CheckBox> boxes;
    QList<int> sortable;
    int sortColumn = -1;
    bool sortFlag = false;
    bool sortEnabled = true;
    int rowCount = 0;
    QIcon ascNormal;
    QIcon ascHover;
    QIcon descNormal;
    QIcon descHover;
    QIcon checkedIcon;
    QIcon partialIcon;
    QIcon uncheckedIcon;
    QIcon uncheckedDisabled;
};
