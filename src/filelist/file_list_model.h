// The file list: one row per input file, its selection, the current row and the totals
// shown under the list. A table model over FileRow that derives the texts of its eight columns
// from the rows' facts; the selection and the current row live in one QItemSelectionModel next
// to it, which the window's tree view uses as its own.
#pragma once

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QList>
#include <QLocale>
#include <QSet>
#include <QString>

#include "filelist/file_row.h"

namespace ostrel {

// What a column shows for a stream the file does not have.
inline const QString kNotAvailable = QStringLiteral("N/A");

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

    // The texts are written with the locale's marks ("1,234.5 MB"), times in local time.
    explicit FileListModel(QObject* parent = nullptr, const QLocale& locale = QLocale());

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;

    int Count() const { return static_cast<int>(rows_.size()); }
    const FileRow& Row(int row) const { return rows_.at(row); }
    const QList<FileRow>& Rows() const { return rows_; }
    // The text a column shows for a row: "N/A" marks a missing stream.
    static QString Text(const FileRow& row, int column, const QLocale& locale = QLocale());

    // True when some row's path equals path exactly (case-sensitive), or names the same file
    // through a link.
    bool IsListed(const QString& path) const;
    // Appends a row at the end, unselected; returns its index.
    int Append(const FileRow& row);
    // Appends many rows at once (a list restored at start).
    void AppendRows(const QList<FileRow>& rows);

    // The selection and the current row; a view shows and changes them directly.
    QItemSelectionModel* Selection() { return &selection_; }

    bool IsSelected(int row) const;
    QList<int> SelectedRows() const;
    void SetSelected(int row, bool selected);
    // The focused row that Move Up, Move Down and Play act on; -1 when there is none.
    int CurrentRow() const;
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

  private:
    bool Exchange(int row, int other);
    void SelectRows(int first, int last, QItemSelectionModel::SelectionFlags command);

    QList<FileRow> rows_;
    // The file names and identities of the rows, so the duplicate test of a long list is not a
    // walk through it; rebuilt after rows were removed.
    mutable QSet<QString> listed_;
    mutable bool listedValid_ = true;
    void NoteListed(const FileRow& row) const;
    QLocale locale_;
    QItemSelectionModel selection_;
};

// "1,234.5 MB": megabytes with one decimal and the locale's group and decimal marks.
QString FormatMegabytes(double megabytes, const QLocale& locale = QLocale());

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
