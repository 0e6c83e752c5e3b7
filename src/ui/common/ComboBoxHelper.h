#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QComboBox;

// Fixes up combo boxes for the style sheets: the popup items get a styled delegate (so the
// sheet reaches them) and the mouse wheel never changes a selection. One instance per process.
class ComboBoxHelper : public QObject
{
    Q_OBJECT

public:
    static ComboBoxHelper* Instance();

    // Registers combo once; further calls for the same combo do nothing.
    void Install(QComboBox* combo);
    bool IsInstalled(QComboBox* combo) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ComboBoxHelper(QObject* parent);

    QList<QPointer<QComboBox>> combos;
};
