#include "models/UploadTableModel.h"

#include <QFileInfo>

#include "app/Format.h"

namespace {

const char kMediaPatterns[] =
    "*.mp4 *.mov *.flv *.avi *.mkv *.webm *.3gp *.asf *.dat *.f4v *.m4v *.mpe *.mpg *.mpeg "
    "*.mts *.qt *.rmvb *.swf *.ts *.vob *.wmv *.mp3 *.aac *.wav *.wma";

}  // namespace

UploadTableModel::UploadTableModel(QObject* parent) : QStandardItemModel(0, ColumnSize, parent)
{
    setHorizontalHeaderLabels({tr("UploadTableModel.Title"), tr("UploadTableModel.VideoFormat"),
                               tr("UploadTableModel.Size"), QString(), QString()});
    setHeaderData(Title, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter),
                  Qt::TextAlignmentRole);
    connect(this, &QAbstractItemModel::rowsInserted, this,
            [this] { emit SignalRowCountChanged(rowCount()); });
    connect(this, &QAbstractItemModel::rowsRemoved, this,
            [this] { emit SignalRowCountChanged(rowCount()); });
    connect(this, &QAbstractItemModel::modelReset, this,
            [this] { emit SignalRowCountChanged(rowCount()); });
}

const QStringList& UploadTableModel::SupportedSuffixes()
{
    static const QStringList suffixes =
        QString::fromLatin1(kMediaPatterns).remove(QStringLiteral("*.")).split(QLatin1Char(' '));
    return suffixes;
}

bool UploadTableModel::IsSupported(const QString& path)
{
    return SupportedSuffixes().contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

QString UploadTableModel::TitleOf(const QString& path)
{
    return QFileInfo(path).completeBaseName().left(kMaxTitleLength);
}

int UploadTableModel::RowOfPath(const QString& absolutePath) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (PathAt(row) == absolutePath) {
            return row;
        }
    }
    return -1;
}

QString UploadTableModel::PathAt(int row) const
{
    return index(row, Title).data(Role(DataRole::FilePath)).toString();
}

QVariant UploadTableModel::data(const QModelIndex& index, int role) const
{
    if (index.column() == Title && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        return QStandardItemModel::data(index, Role(DataRole::Title));
    }
    return QStandardItemModel::data(index, role);
}

void UploadTableModel::SlotAppend(const QString& filepath)
{
    const QFileInfo info(filepath);
    const QString path = info.absoluteFilePath();
    const QString title = TitleOf(path);

    auto* titleItem = new QStandardItem(title);
    titleItem->setData(path, Role(DataRole::FilePath));
    titleItem->setData(info.suffix(), Role(DataRole::VideoFormat));
    titleItem->setData(info.size(), Role(DataRole::FileSize));
    titleItem->setData(title, Role(DataRole::Title));
    titleItem->setData(QString(), Role(DataRole::Description));
    titleItem->setData(QString(), Role(DataRole::Tags));
    titleItem->setToolTip(path.toHtmlEscaped());

    auto* formatItem = new QStandardItem(info.suffix().toUpper());
    formatItem->setTextAlignment(Qt::AlignCenter);
    auto* sizeItem = new QStandardItem(FormatSize(quint64(info.size()), 4));
    sizeItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

    QList<QStandardItem*> row{titleItem, formatItem, sizeItem};
    for (const QString& text : {tr("Edit"), tr("Delete")}) {
        auto* button = new QStandardItem(text);
        button->setData(1, ButtonCellRole);
        button->setData(1, ButtonStateRole);
        row.append(button);
    }
    for (QStandardItem* item : row) {
        item->setEditable(false);
    }
    appendRow(row);
}

void UploadTableModel::SlotClear()
{
    removeRows(0, rowCount());
}
