// The file list: one row per input file, its selection, the current row and the totals
// shown under the list. A table model over FileRow; the window's tree view only shows it.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include "filelist/file_row.h"

namespace ostrel {

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int {
        ColumnFileName,
        ColumnType,
        ColumnDuration,
        ColumnVideoSize,
        ColumnFileSize,
        ColumnModified,
        ColumnVideoCodec,
        ColumnAudioCodec,
        ColumnCount
    };

    enum Role : int {
        DurationSecondsRole = Qt::UserRole + 1,  // the row's duration as a double
    };

    struct ColumnInfo {
        QString Header;
        Qt::Alignment Alignment;
        int RelativeWidth;  // default proportion of the list's width
    };
    static const QList<ColumnInfo>& Columns();

    explicit FileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;

    int Count() const { return static_cast<int>(entries_.size()); }
    const FileRow& Row(int row) const { return entries_.at(row).Row; }
    QList<FileRow> Rows() const;
    static QString Text(const FileRow& row, int column);

    // True when some row's path equals path exactly (case-sensitive).
    bool IsListed(const QString& path) const;
    // Appends a row at the end, unselected; returns its index.
    int Append(const FileRow& row);

    bool IsSelected(int row) const;
    QList<int> SelectedRows() const;
    // Changes one row's selection as the view reports it; emits nothing.
    void SetSelected(int row, bool selected);
    // The focused row that Move Up, Move Down and Play act on; -1 when there is none.
    int CurrentRow() const { return current_; }
    void SetCurrentRow(int row);

    // The list commands. Those returning bool answer whether the list should take the
    // keyboard focus; on an empty list they do nothing and answer false.
    bool SelectAll();
    bool InvertSelection();
    bool RemoveSelected();
    void ClearAll();
    bool MoveUp();
    bool MoveDown();
    // After the open dialog: only the last row stays selected and becomes the current row.
    void SelectOnlyLast();

  signals:
    // The selection or the current row changed through one of the commands above.
    void SelectionReset();

  private:
    struct Entry {
        FileRow Row;
        bool Selected = false;
    };

    bool Exchange(int row, int other);

    QList<Entry> entries_;
    int current_ = -1;
    // While a command changes rows, the view's own reactions to the change are not taken
    // back into the model; the command's SelectionReset brings the view in line afterwards.
    bool changingRows_ = false;
};

// The two status panes' texts, recomputed only when the row count changed since the last
// refresh.
class ListTotals {
  public:
    // Returns true when the texts changed.
    bool Refresh(const FileListModel& model);

    int LastCountedRows() const { return lastCountedRows_; }
    const QString& FilesText() const { return filesText_; }
    const QString& DurationText() const { return durationText_; }

    static QString FilesTextFor(int count);
    static QString DurationTextFor(double seconds);

  private:
    int lastCountedRows_ = 0;
    QString filesText_ = FilesTextFor(0);
    QString durationText_ = DurationTextFor(0.0);
};

}  // namespace ostrel
