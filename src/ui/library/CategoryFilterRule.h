#pragma once

#include <functional>

#include <QObject>
#include <QString>

class QCompleter;
class QLineEdit;
class QSortFilterProxyModel;
class QStringListModel;
class QTreeView;

// The category filter fields' shared rule: a completer over the category names, the moment
// the filter is applied and what applying does. With at most 1000 names the filter follows
// every keystroke; with more it is applied on Enter only, and at once when the field becomes
// empty.
class CategoryFilterRule : public QObject
{
    Q_OBJECT

public:
    CategoryFilterRule(QLineEdit* field, QStringListModel* names, std::function<void()> apply);

    // Reconnects the field for the current number of names (after each tree load).
    void Rewire();
    // Sets the field's text as the fixed-string filter of the tree's proxy, unless that text is
    // the one applied last (then false). A text expands every match and clears the selection;
    // an emptied field folds the tree back to its expanded top row.
    bool ApplyTo(QSortFilterProxyModel* proxy, QTreeView* tree);
    bool FiltersOnEveryKeystroke() const { return everyKeystroke; }
    QCompleter* Completer() const { return completer; }

    static bool FiltersOnEveryKeystroke(int nameCount);

protected:
    // Enter while the completer's list is open never reaches the field; it applies too.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* field;
    QStringListModel* names;
    std::function<void()> apply;
    QCompleter* completer = nullptr;
    QMetaObject::Connection textConnection;
    QMetaObject::Connection returnConnection;
    QMetaObject::Connection completerConnection;
    bool everyKeystroke = true;
    QString lastApplied;
};
