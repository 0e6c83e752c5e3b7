#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

class CheckableHeaderView;
class QPushButton;
class VideoTableViewDelegate;

// The table of one page of videos: check boxes that follow the row selection, thumbnails, the
// three-line title cell with its copy-vid icon, the category/edit/code buttons, the header with
// its check box and sort arrows, and a small context menu (copy vid, copy title).
class VideoTableView : public QTableView
{
    Q_OBJECT

public:
    explicit VideoTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    CheckableHeaderView* Header() const { return header; }
    VideoTableViewDelegate* Delegate() const { return delegate; }
    // The never-shown template buttons the model stores in its button cells.
    QPushButton* CategoryButtonTemplate() const { return categoryButton; }
    QPushButton* EditButtonTemplate() const { return editButton; }
    QPushButton* CodeGenButtonTemplate() const { return codeGenButton; }

    void CopyVid(const QModelIndex& index);
    void CopyTitle(const QModelIndex& index);

    // Repaints the thumbnail of the row showing vid (thumbnails arrive one by one).
    void UpdateThumbnail(const QString& vid);

signals:
    void SignalJumpCategory(qulonglong cateId);
    // The edit button of a row: the owner opens the video edit dialog for that row.
    void SignalEditVideo(QModelIndex index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnButtonClicked(QPushButton* button, const QModelIndex& index);
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnHeaderStateChanged(int column, Qt::CheckState state);
    bool SendToDelegate(QMouseEvent* event);

    CheckableHeaderView* header = nullptr;
    VideoTableViewDelegate* delegate = nullptr;
    QPushButton* categoryButton = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* codeGenButton = nullptr;
    QPersistentModelIndex menuIndex;
    QPersistentModelIndex hoverIndex;
    QPersistentModelIndex pressedIndex;
};
