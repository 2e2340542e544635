#include "filelist/file_list_model.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

#include "common/duration.h"
#include "common/file_info.h"

namespace ostrel {

const QList<FileListModel::ColumnInfo>& FileListModel::Columns() {
    static const QList<ColumnInfo> columns = {
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "File Name")),
         Qt::AlignLeft | Qt::AlignVCenter, 5293},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "Type")), Qt::AlignCenter, 1340},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "Duration")), Qt::AlignCenter,
         2293},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "Video Size")), Qt::AlignCenter,
         2647},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "File Size")),
         Qt::AlignRight | Qt::AlignVCenter, 2293},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "Modified")),
         Qt::AlignLeft | Qt::AlignVCenter, 4039},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "Video Codec")),
         Qt::AlignLeft | Qt::AlignVCenter, 4304},
        {QStringLiteral(QT_TRANSLATE_NOOP("ostrel::FileListModel", "Audio Codec")),
         Qt::AlignLeft | Qt::AlignVCenter, 4304},
    };
    return columns;
}

FileListModel::FileListModel(QObject* parent, const QLocale& locale)
    : QAbstractTableModel(parent), locale_(locale), selection_(this) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString FormatMegabytes(double megabytes, const QLocale& locale) {
    QLocale marks = locale;
    marks.setNumberOptions(marks.numberOptions() & ~QLocale::OmitGroupSeparator);
    return marks.toString(megabytes, 'f', 1) + QStringLiteral(" MB");
}

QString FileListModel::Text(const FileRow& row, int column, const QLocale& locale) {
    switch (column) {
        case ColumnFileName:
            return row.FileName;
        case ColumnType:
            return ExtensionUpper(row.FileName);
        case ColumnDuration:
            return FormatDuration(row.DurationSeconds);
        case ColumnVideoSize:
            return row.HasVideo ? QStringLiteral("%1 X %2").arg(row.VideoWidth).arg(row.VideoHeight)
                                : QCoreApplication::translate("ostrel::FileListModel", "N/A");
        case ColumnFileSize:
            // A size the file system would not tell shows as 0.0 MB rather than a negative
            // number.
            return FormatMegabytes(BytesToMegabytes(std::max(0.0, row.SizeBytes)), locale);
        case ColumnModified:
            return row.Modified.toLocalTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
        case ColumnVideoCodec:
            return row.HasVideo ? row.VideoCodec
                                : QCoreApplication::translate("ostrel::FileListModel", "N/A");
        case ColumnAudioCodec:
            return row.HasAudio ? row.AudioCodec
                                : QCoreApplication::translate("ostrel::FileListModel", "N/A");
        default:
            return {};
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count() || index.column() >= ColumnCount) {
        return {};
    }
    const FileRow& row = Row(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return Text(row, index.column(), locale_);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Columns().at(index.column()).Alignment);
        case DurationSecondsRole:
            return row.DurationSeconds;
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QCoreApplication::translate("ostrel::FileListModel",
                                           Columns().at(section).Header.toUtf8().constData());
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Columns().at(section).Alignment);
    }
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

Qt::DropActions FileListModel::supportedDropActions() const {
    return Qt::CopyAction;
}

void FileListModel::NoteListed(const FileRow& row) const {
    listed_.insert(row.FileName);
    if (!row.Identity.isEmpty()) {
        listed_.insert(row.Identity);
    }
}

bool FileListModel::IsListed(const QString& path) const {
    if (!listedValid_) {
        listed_.clear();
        for (const FileRow& row : rows_) {
            NoteListed(row);
        }
        listedValid_ = true;
    }
    // A row's name equal to the path, or a row's identity equal to the path's: one set holds
    // both, as a file name is never mistaken for an identity (both are absolute paths, and an
    // identity is the canonical path of its own row's file).
    return listed_.contains(path) || listed_.contains(SameFileKey(path));
}

int FileListModel::Append(const FileRow& row) {
    const int index = Count();
    beginInsertRows(QModelIndex(), index, index);
    rows_.append(row);
    if (listedValid_) {
        NoteListed(row);
    }
    endInsertRows();
    return index;
}

void FileListModel::AppendRows(const QList<FileRow>& rows) {
    if (rows.isEmpty()) {
        return;
    }
    beginInsertRows(QModelIndex(), Count(), Count() + static_cast<int>(rows.size()) - 1);
    rows_.append(rows);
    listedValid_ = false;
    endInsertRows();
}

void FileListModel::SelectRows(int first, int last, QItemSelectionModel::SelectionFlags command) {
    selection_.select(QItemSelection(index(first, 0), index(last, ColumnCount - 1)),
                      command | QItemSelectionModel::Rows);
}

bool FileListModel::IsSelected(int row) const {
    return row >= 0 && row < Count() && selection_.isSelected(index(row, 0));
}

QList<int> FileListModel::SelectedRows() const {
    QList<int> rows;
    for (int row = 0; row < Count(); ++row) {
        if (IsSelected(row)) {
            rows.append(row);
        }
    }
    return rows;
}

void FileListModel::SetSelected(int row, bool selected) {
    if (row >= 0 && row < Count()) {
        SelectRows(row, row,
                   selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    }
}

int FileListModel::CurrentRow() const {
    const QModelIndex current = selection_.currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FileListModel::SetCurrentRow(int row) {
    selection_.setCurrentIndex(row >= 0 && row < Count() ? index(row, 0) : QModelIndex(),
                               QItemSelectionModel::NoUpdate);
}

bool FileListModel::SelectAll() {
    if (rows_.isEmpty()) {
        return false;
    }
    SelectRows(0, Count() - 1, QItemSelectionModel::Select);
    return true;
}

bool FileListModel::InvertSelection() {
    if (rows_.isEmpty()) {
        return false;
    }
    SelectRows(0, Count() - 1, QItemSelectionModel::Toggle);
    return true;
}

bool FileListModel::RemoveSelected() {
    if (rows_.isEmpty()) {
        return false;
    }
    // From the last row to the first, so the indices not yet visited stay valid; runs of
    // neighbouring selected rows go in one removal. A removed current row leaves no current
    // row behind, rather than handing its place to a neighbour.
    int row = Count() - 1;
    while (row >= 0) {
        if (!IsSelected(row)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && IsSelected(first - 1)) {
            --first;
        }
        const int current = CurrentRow();
        if (current >= first && current <= row) {
            SetCurrentRow(-1);
        }
        beginRemoveRows(QModelIndex(), first, row);
        rows_.remove(first, row - first + 1);
        listedValid_ = false;
        endRemoveRows();
        row = first - 1;
    }
    return true;
}

void FileListModel::ClearAll() {
    if (rows_.isEmpty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    listedValid_ = false;
    endResetModel();
}

bool FileListModel::Exchange(int row, int other) {
    if (row < 0 || row >= Count() || rows_.at(row).FileName.isEmpty() || other < 0 ||
        other >= Count()) {
        return false;
    }
    // The contents change places; the selection stays with its positions, except that the
    // moved row's selection follows it.
    std::swap(rows_[row], rows_[other]);
    const int top = std::min(row, other);
    const int bottom = std::max(row, other);
    emit dataChanged(index(top, 0), index(bottom, ColumnCount - 1));
    SelectRows(row, row, QItemSelectionModel::Deselect);
    SelectRows(other, other, QItemSelectionModel::Select);
    SetCurrentRow(other);
    return true;
}

bool FileListModel::MoveUp() {
    const int current = CurrentRow();
    return current >= 0 && Exchange(current, current - 1);
}

bool FileListModel::MoveDown() {
    const int current = CurrentRow();
    return current >= 0 && Exchange(current, current + 1);
}

void FileListModel::SelectOnlyLast() {
    if (rows_.isEmpty()) {
        return;
    }
    SelectRows(Count() - 1, Count() - 1, QItemSelectionModel::ClearAndSelect);
    SetCurrentRow(Count() - 1);
}

QString ListTotals::FilesTextFor(int count) {
    return QCoreApplication::translate("ostrel::ListTotals", "Total Files: ") +
           QString::number(count);
}

QString ListTotals::DurationTextFor(double seconds) {
    return QCoreApplication::translate("ostrel::ListTotals", "Total Duration: ") +
           FormatDuration(seconds);
}

bool ListTotals::Refresh(const FileListModel& model) {
    const int count = model.Count();
    if (count == lastCountedRows_) {
        return false;
    }
    double sum = 0.0;
    for (int row = 0; row < count; ++row) {
        const double seconds = model.Row(row).DurationSeconds;
        // A duration that is not a number adds nothing.
        if (std::isfinite(seconds)) {
            sum += seconds;
        }
    }
    filesText_ = FilesTextFor(count);
    durationText_ = DurationTextFor(sum);
    lastCountedRows_ = model.Count();
    return true;
}

}  // namespace ostrel
