// The file list as the window shows it: a never-sorted tree view over FileListModel that uses
// the model's own selection and current row, takes dropped files and asks for the context menu
// anywhere over it, also over empty space.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace ostrel {

class FileListModel;

// The "File Name" cells: a path too long for its cell loses its start, so the names of files
// from one folder stay apart; the whole path is the cell's tooltip.
class PathCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class FileListView : public QTreeView {
    Q_OBJECT

  public:
    explicit FileListView(QWidget* parent = nullptr);

    void SetListModel(FileListModel* model);
    // Every column wide enough for its header and a typical text, the rest of the list's
    // width shared in the columns' default proportions.
    void ApplyDefaultWidths();

  signals:
    void filesDropped(const QStringList& paths);
    void contextMenuWanted(const QPoint& globalPos);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool applyingWidths_ = false;
    bool userResizedColumns_ = false;
};

}  // namespace ostrel
