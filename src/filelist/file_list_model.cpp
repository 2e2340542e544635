#include "filelist/file_list_model.h"

#include <algorithm>
#include <cmath>

#include "common/duration.h"

namespace ostrel {

const QList<FileListModel::ColumnInfo>& FileListModel::Columns() {
    static const QList<ColumnInfo> columns = {
        {QStringLiteral("File Name"), Qt::AlignLeft | Qt::AlignVCenter, 5293},
        {QStringLiteral("Type"), Qt::AlignCenter, 1340},
        {QStringLiteral("Duration"), Qt::AlignCenter, 2293},
        {QStringLiteral("Video Size"), Qt::AlignCenter, 2647},
        {QStringLiteral("File Size"), Qt::AlignRight | Qt::AlignVCenter, 2293},
        {QStringLiteral("Modified"), Qt::AlignLeft | Qt::AlignVCenter, 4039},
        {QStringLiteral("Video Codec"), Qt::AlignLeft | Qt::AlignVCenter, 4304},
        {QStringLiteral("Audio Codec"), Qt::AlignLeft | Qt::AlignVCenter, 4304},
    };
    return columns;
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString FileListModel::Text(const FileRow& row, int column) {
    switch (column) {
        case ColumnFileName:
            return row.FileName;
        case ColumnType:
            return row.Type;
        case ColumnDuration:
            return row.Duration;
        case ColumnVideoSize:
            return row.VideoSize;
        case ColumnFileSize:
            return row.FileSize;
        case ColumnModified:
            return row.Modified;
        case ColumnVideoCodec:
            return row.VideoCodec;
        case ColumnAudioCodec:
            return row.AudioCodec;
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
            return Text(row, index.column());
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
        return Columns().at(section).Header;
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

QList<FileRow> FileListModel::Rows() const {
    QList<FileRow> rows;
    rows.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        rows.append(entry.Row);
    }
    return rows;
}

bool FileListModel::IsListed(const QString& path) const {
    for (const Entry& entry : entries_) {
        if (entry.Row.FileName == path) {
            return true;
        }
    }
    return false;
}

int FileListModel::Append(const FileRow& row) {
    const int index = Count();
    changingRows_ = true;
    beginInsertRows(QModelIndex(), index, index);
    entries_.append(Entry{row, false});
    endInsertRows();
    changingRows_ = false;
    return index;
}

bool FileListModel::IsSelected(int row) const {
    return row >= 0 && row < Count() && entries_.at(row).Selected;
}

QList<int> FileListModel::SelectedRows() const {
    QList<int> rows;
    for (int row = 0; row < Count(); ++row) {
        if (entries_.at(row).Selected) {
            rows.append(row);
        }
    }
    return rows;
}

void FileListModel::SetSelected(int row, bool selected) {
    if (!changingRows_ && row >= 0 && row < Count()) {
        entries_[row].Selected = selected;
    }
}

void FileListModel::SetCurrentRow(int row) {
    if (!changingRows_) {
        current_ = (row >= 0 && row < Count()) ? row : -1;
    }
}

bool FileListModel::SelectAll() {
    if (entries_.isEmpty()) {
        return false;
    }
    for (Entry& entry : entries_) {
        entry.Selected = true;
    }
    emit SelectionReset();
    return true;
}

bool FileListModel::InvertSelection() {
    if (entries_.isEmpty()) {
        return false;
    }
    for (Entry& entry : entries_) {
        entry.Selected = !entry.Selected;
    }
    emit SelectionReset();
    return true;
}

bool FileListModel::RemoveSelected() {
    if (entries_.isEmpty()) {
        return false;
    }
    // From the last row to the first, so the indices not yet visited stay valid; runs of
    // neighbouring selected rows go in one removal.
    changingRows_ = true;
    int row = Count() - 1;
    while (row >= 0) {
        if (!entries_.at(row).Selected) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && entries_.at(first - 1).Selected) {
            --first;
        }
        beginRemoveRows(QModelIndex(), first, row);
        entries_.remove(first, row - first + 1);
        endRemoveRows();
        if (current_ > row) {
            current_ -= row - first + 1;
        } else if (current_ >= first) {
            current_ = -1;
        }
        row = first - 1;
    }
    changingRows_ = false;
    emit SelectionReset();
    return true;
}

void FileListModel::ClearAll() {
    if (entries_.isEmpty()) {
        return;
    }
    changingRows_ = true;
    beginResetModel();
    entries_.clear();
    current_ = -1;
    endResetModel();
    changingRows_ = false;
    emit SelectionReset();
}

bool FileListModel::Exchange(int row, int other) {
    if (row < 0 || row >= Count() || entries_.at(row).Row.FileName.isEmpty() || other < 0 ||
        other >= Count()) {
        return false;
    }
    // The contents change places; the selection flags stay with their positions, except
    // that the moved row's selection follows it.
    std::swap(entries_[row].Row, entries_[other].Row);
    entries_[row].Selected = false;
    entries_[other].Selected = true;
    current_ = other;
    const int top = std::min(row, other);
    const int bottom = std::max(row, other);
    changingRows_ = true;
    emit dataChanged(index(top, 0), index(bottom, ColumnCount - 1));
    changingRows_ = false;
    emit SelectionReset();
    return true;
}

bool FileListModel::MoveUp() {
    return current_ >= 0 && Exchange(current_, current_ - 1);
}

bool FileListModel::MoveDown() {
    return current_ >= 0 && Exchange(current_, current_ + 1);
}

void FileListModel::SelectOnlyLast() {
    if (entries_.isEmpty()) {
        return;
    }
    for (Entry& entry : entries_) {
        entry.Selected = false;
    }
    entries_.last().Selected = true;
    current_ = Count() - 1;
    emit SelectionReset();
}

QString ListTotals::FilesTextFor(int count) {
    return QStringLiteral("Total Files: ") + QString::number(count);
}

QString ListTotals::DurationTextFor(double seconds) {
    return QStringLiteral("Total Duration: ") + FormatDuration(seconds);
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
