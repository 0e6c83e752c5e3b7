#include "ui/library/CategoryFilterRule.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDebug>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QTreeView>

#include "models/CategoryTreeModel.h"

CategoryFilterRule::CategoryFilterRule(QLineEdit* field, QStringListModel* names,
                                       std::function<void()> apply)
    : QObject(field), field(field), names(names), apply(std::move(apply))
{
    completer = new QCompleter(names, field);
    field->setCompleter(completer);
    completer->popup()->installEventFilter(this);
    Rewire();
}

bool CategoryFilterRule::FiltersOnEveryKeystroke(int nameCount)
{
    return nameCount <= CategoryTreeModel::kFilterEveryKeystrokeMaxNames;
}

void CategoryFilterRule::Rewire()
{
    disconnect(textConnection);
    disconnect(returnConnection);
    disconnect(completerConnection);
    everyKeystroke = FiltersOnEveryKeystroke(names ? names->rowCount() : 0);
    if (everyKeystroke) {
        textConnection = connect(field, &QLineEdit::textChanged, this, [this] { apply(); });
    } else {
        textConnection = connect(field, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (text.isEmpty()) {
                apply();
            }
        });
        returnConnection = connect(field, &QLineEdit::returnPressed, this, [this] { apply(); });
        completerConnection =
            connect(completer, QOverload<const QString&>::of(&QCompleter::activated), this,
                    [this] { apply(); });
    }
}

bool CategoryFilterRule::ApplyTo(QSortFilterProxyModel* proxy, QTreeView* tree)
{
    const QString text = field->text();
    if (text == lastApplied) {
        return false;
    }
    lastApplied = text;
    qInfo().noquote() << "Set cate filter:" << text;
    proxy->setFilterFixedString(text);
    if (!text.isEmpty()) {
        tree->clearSelection();
        tree->expandAll();
    } else {
        tree->collapseAll();
        tree->expand(proxy->index(0, 0));
    }
    return true;
}

bool CategoryFilterRule::eventFilter(QObject* watched, QEvent* event)
{
    if (!everyKeystroke && watched == completer->popup() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // After the completer has taken the key (and maybe completed the text).
            QMetaObject::invokeMethod(
                this, [this] { apply(); }, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}
