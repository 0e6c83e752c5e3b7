#pragma once

#include <QStandardItemModel>
#include <QStringList>

// The files of the upload dialog, one row per file: the title (with the file's path, format,
// size, title, description and tags in the roles of column 0), the format, the size, and two
// button cells (edit, delete) that the dialog's delegate draws.
class UploadTableModel : public QStandardItemModel
{
    Q_OBJECT

public:
    enum Column
    {
        Title = 0,
        VideoFormat,
        FileSize,
        Edit,
        Delete,
        ColumnSize
    };
    Q_ENUM(Column)

    // Scoped: the role names are also column names.
    enum class DataRole
    {
        FilePath = 256,
        VideoFormat,
        FileSize,
        Title,
        Description,
        Tags,
        Count
    };
    Q_ENUM(DataRole)
    static constexpr int Role(DataRole role) { return int(role); }

    // Roles the table delegate reads from a button cell: 1 marks the cell, the state bits
    // (1 enabled, 4 pressed, 0x2000 hovered) tell how to draw it.
    static constexpr int ButtonCellRole = 512;
    static constexpr int ButtonStateRole = 514;

    // The longest title a file name gives.
    static constexpr int kMaxTitleLength = 200;

    explicit UploadTableModel(QObject* parent = nullptr);

    // The supported suffixes in lower case, and whether a path has one of them.
    static const QStringList& SupportedSuffixes();
    static bool IsSupported(const QString& path);
    // The title a file gets: its complete base name, cut to kMaxTitleLength characters.
    static QString TitleOf(const QString& path);

    // The row whose file has this absolute path, or -1.
    int RowOfPath(const QString& absolutePath) const;
    QString PathAt(int row) const;

    // Column 0 shows the Title role.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

public slots:
    void SlotAppend(const QString& filepath);
    void SlotClear();

signals:
    void SignalRowCountChanged(int count);
};
