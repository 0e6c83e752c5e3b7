#pragma once

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QPixmap>

#include "ui/library/TableViewDelegate.h"

// The video table's cells: the check box, the thumbnail in a thin frame, the three-line title
// cell (title; size and duration; vid) with its copy-vid icon, and the button cells of the base.
class VideoTableViewDelegate : public TableViewDelegate
{
    Q_OBJECT

public:
    static constexpr int kThumbnailRole = 520;
    static constexpr int kVidCopiedRole = 521;
    static constexpr int kCopyIconSize = 14;

    explicit VideoTableViewDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the copy-vid icon of a title cell is drawn.
    QRect CopyIconRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;

signals:
    void SignalCopyVid(QModelIndex index);

public:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    void PaintTitle(QPainter* painter, const QStyleOptionViewItem& option,
                    const QModelIndex& index) const;
    QRect VidLineRect(const QStyleOptionViewItem& option, const QString& vid) const;
    QRect CopyIconRect(const QStyleOptionViewItem& option, const QString& vid) const;
    QSize TextCellSize(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    const QPixmap& CopyIcon(int state, qreal ratio) const;

    QIcon copyNormal;
    QIcon copyHover;
    QIcon copyPressed;
    // The copy icons drawn at the screen's ratio, made once per ratio instead of on every paint.
    mutable QPixmap copyPixmaps[3];
    mutable qreal copyPixmapRatio = 0;
    // Plain text cells' sizes by column and text: the header asks every row whenever it sizes
    // its columns to their contents (a page load, a check box, a hover), and measuring text
    // through the style sheet is the slow part. Forgotten when the font or the style changes.
    mutable QHash<QPair<int, QString>, QSize> textSizes;
    mutable QFont textSizesFont;
    mutable const QStyle* textSizesStyle = nullptr;
};
