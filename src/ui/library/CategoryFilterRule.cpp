#include "ui/library/CategoryFilterRule.h"

#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>

#include "models/CategoryTreeModel.h"

CategoryFilterRule::CategoryFilterRule(QLineEdit* field, QStringListModel* names,
                                       std::function<void()> apply)
    : QObject(field), field(field), names(names), apply(std::move(apply))
{
    completer = new QCompleter(names, field);
    field->setCompleter(completer);
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
