#include "ui/common/ComboBoxHelper.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QStyledItemDelegate>

ComboBoxHelper::ComboBoxHelper(QObject* parent) : QObject(parent) {}

ComboBoxHelper* ComboBoxHelper::Instance()
{
    static QPointer<ComboBoxHelper> instance;
    if (!instance) {
        instance = new ComboBoxHelper(QCoreApplication::instance());
    }
    return instance;
}

bool ComboBoxHelper::IsInstalled(QComboBox* combo) const
{
    return combos.contains(combo);
}

void ComboBoxHelper::Install(QComboBox* combo)
{
    if (!combo || IsInstalled(combo)) {
        return;
    }
    combos.removeAll(nullptr);
    combos.append(combo);
    // The default popup delegate paints items itself and ignores the style sheet
    // (setItemDelegate deletes the old delegate).
    QAbstractItemDelegate* old = combo->itemDelegate();
    if (old && old->inherits("QComboMenuDelegate")) {
        combo->setItemDelegate(new QStyledItemDelegate(combo));
    }
    combo->installEventFilter(this);
}

bool ComboBoxHelper::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && qobject_cast<QComboBox*>(watched)) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}
