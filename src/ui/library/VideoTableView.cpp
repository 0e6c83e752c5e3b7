#include "ui/library/VideoTableView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDebug>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include "ui/common/Toast.h"
#include "ui/library/CheckableHeaderView.h"
#include "ui/library/CopyCodeDialog.h"
#include "ui/library/VideoTableViewDelegate.h"

namespace {

constexpr int kVidRole = Qt::UserRole;
constexpr int kCateIdRole = Qt::UserRole + 1;
constexpr int kTitleRole = Qt::UserRole + 3;

QPushButton* MakeTemplate(QWidget* parent, const char* name, const char* log)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->hide();
    QObject::connect(button, &QPushButton::clicked, button, [log] { qDebug() << log; });
    return button;
}

}  // namespace

VideoTableView::VideoTableView(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("videoTableView"));
    setFont(QApplication::font());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::MultiSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setAlternatingRowColors(false);
    setMouseTracking(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    // The smooth-scroll helper moves the bar by pixels.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(80);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    categoryButton = MakeTemplate(this, "categoryButton", "categoryButton clicked");
    editButton = MakeTemplate(this, "editButton", "editButton clicked");
    codeGenButton = MakeTemplate(this, "codeGenButton", "codeGenButton clicked");

    delegate = new VideoTableViewDelegate(this);
    setItemDelegate(delegate);
    connect(delegate, &TableViewDelegate::SignalButtonClicked, this,
            &VideoTableView::OnButtonClicked);
    connect(delegate, &VideoTableViewDelegate::SignalCopyVid, this, &VideoTableView::CopyVid);

    header = new CheckableHeaderView(Qt::Horizontal, this);
    header->setObjectName(QStringLiteral("videoTableHeader"));
    setHorizontalHeader(header);
    header->SetCheckable(0);
    header->SetSortable(2);
    header->SetSortable(5);
    header->setDefaultSectionSize(40);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setFixedHeight(48);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignCenter);
    connect(header, &CheckableHeaderView::stateChanged, this,
            &VideoTableView::OnHeaderStateChanged);

    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void VideoTableView::setModel(QAbstractItemModel* model)
{
    QTableView::setModel(model);
    if (!model) {
        return;
    }
    // The title takes the width left over, so long titles are elided rather than widening
    // the table past its scroll-bar-less view.
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VideoTableView::OnSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, header,
            &CheckableHeaderView::SlotSelectionChanged);
    auto rows = [this, model] {
        header->SlotRowCountChanged(model->rowCount());
        header->SlotSelectionChanged({}, {});
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, rows);
    connect(model, &QAbstractItemModel::rowsRemoved, this, rows);
    connect(model, &QAbstractItemModel::modelReset, this, rows);
    connect(model, &QAbstractItemModel::layoutChanged, this, rows);
    rows();
}

void VideoTableView::OnSelectionChanged(const QItemSelection& selected,
                                        const QItemSelection& deselected)
{
    QAbstractItemModel* m = model();
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() == 0 && index.data(Qt::CheckStateRole).toInt() != Qt::Checked) {
            m->setData(index, Qt::Checked, Qt::CheckStateRole);
        }
    }
    for (const QModelIndex& index : deselected.indexes()) {
        if (index.column() == 0 && index.data(Qt::CheckStateRole).toInt() != Qt::Unchecked) {
            m->setData(index, Qt::Unchecked, Qt::CheckStateRole);
        }
    }
}

void VideoTableView::OnHeaderStateChanged(int column, Qt::CheckState state)
{
    if (column != 0 || !model()) {
        return;
    }
    QItemSelection all;
    const int rows = model()->rowCount();
    if (rows == 0) {
        return;
    }
    all.select(model()->index(0, 0), model()->index(rows - 1, model()->columnCount() - 1));
    selectionModel()->select(
        all, state == Qt::Checked ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void VideoTableView::OnButtonClicked(QPushButton* button, const QModelIndex& index)
{
    const QModelIndex first = index.sibling(index.row(), 0);
    if (button == categoryButton) {
        emit SignalJumpCategory(first.data(kCateIdRole).toULongLong());
    } else if (button == editButton) {
        qInfo() << "Edit vid:" << first.data(kVidRole).toString();
        emit SignalEditVideo(first);
    } else if (button == codeGenButton) {
        const QString vid = first.data(kVidRole).toString();
        qInfo() << "CodeGen vid:" << vid;
        CopyCodeDialog dialog(vid, this);
        dialog.exec();
    }
}

void VideoTableView::CopyVid(const QModelIndex& index)
{
    qDebug() << "void __cdecl VideoTableView::CopyVid(const class QModelIndex &)";
    QApplication::clipboard()->setText(index.sibling(index.row(), 0).data(kVidRole).toString());
    Toast::ShowToastInParent(window(), tr("VideoTableView.VidCopied"), 0);
}

void VideoTableView::CopyTitle(const QModelIndex& index)
{
    qDebug() << "void __cdecl VideoTableView::CopyTitle(const class QModelIndex &)";
    QApplication::clipboard()->setText(index.sibling(index.row(), 0).data(kTitleRole).toString());
    Toast::ShowToastInParent(window(), tr("VideoTableView.TitleCopied"), 0);
}

void VideoTableView::UpdateThumbnail(const QString& vid)
{
    if (!model()) {
        return;
    }
    for (int row = 0; row < model()->rowCount(); ++row) {
        const QModelIndex first = model()->index(row, 0);
        if (first.data(kVidRole).toString() == vid) {
            viewport()->update(visualRect(model()->index(row, 1)));
            return;
        }
    }
}

void VideoTableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    header->resize(viewport()->width(), header->height());
    verticalHeader()->resize(verticalHeader()->width(), viewport()->height());
    updateGeometries();
}

// Button cells and the copy icon take their mouse events before the row selection does, so a
// click on a button neither selects nor deselects its row.
bool VideoTableView::SendToDelegate(QMouseEvent* event)
{
    if (!model()) {
        return false;
    }
    QModelIndex index = indexAt(event->pos());
    // A release belongs to the cell where the press went down, wherever the pointer is now.
    if (event->type() == QEvent::MouseButtonRelease && pressedIndex.isValid()) {
        index = pressedIndex;
    }
    if (event->type() != QEvent::MouseMove) {
        pressedIndex = QPersistentModelIndex();
    }
    if (!index.isValid()) {
        return false;
    }
    if (event->type() == QEvent::MouseMove && hoverIndex.isValid() && hoverIndex != index) {
        // Clear the hover look of the cell the pointer left.
        const int state = hoverIndex.data(TableViewDelegate::kButtonStateRole).toInt();
        const int cleared = hoverIndex.column() == 2 ? 0 : (state & TableViewDelegate::kEnabledBit);
        if (state != cleared) {
            model()->setData(hoverIndex, cleared, TableViewDelegate::kButtonStateRole);
        }
    }
    hoverIndex = index;
    if (index.column() != 2 && !TableViewDelegate::IsButtonCell(index)) {
        return false;
    }
    QStyleOptionViewItem option = viewOptions();
    option.rect = visualRect(index);
    const bool taken = delegate->editorEvent(event, model(), option, index);
    if (taken && event->type() == QEvent::MouseButtonPress) {
        pressedIndex = index;
    }
    return taken || (TableViewDelegate::IsButtonCell(index) && event->type() != QEvent::MouseMove);
}

void VideoTableView::mousePressEvent(QMouseEvent* event)
{
    if (!SendToDelegate(event)) {
        QTableView::mousePressEvent(event);
    }
}

void VideoTableView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!SendToDelegate(event)) {
        QTableView::mouseReleaseEvent(event);
    }
}

void VideoTableView::mouseMoveEvent(QMouseEvent* event)
{
    if (!SendToDelegate(event)) {
        QTableView::mouseMoveEvent(event);
    }
}

void VideoTableView::leaveEvent(QEvent* event)
{
    if (hoverIndex.isValid() && model()) {
        const int state = hoverIndex.data(TableViewDelegate::kButtonStateRole).toInt();
        const int cleared = hoverIndex.column() == 2 ? 0 : (state & TableViewDelegate::kEnabledBit);
        if (state != cleared) {
            model()->setData(hoverIndex, cleared, TableViewDelegate::kButtonStateRole);
        }
    }
    hoverIndex = QPersistentModelIndex();
    QTableView::leaveEvent(event);
}

void VideoTableView::contextMenuEvent(QContextMenuEvent* event)
{
    menuIndex = indexAt(event->pos());
    if (!menuIndex.isValid()) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("videoItemMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("VideoTableView.CopyVid"), this, [this] { CopyVid(menuIndex); });
    menu->addAction(tr("VideoTableView.CopyTitle"), this, [this] { CopyTitle(menuIndex); });
    menu->popup(event->globalPos());
}
