#include "app/file_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "common/engine_path.h"
#include "filelist/file_list_model.h"

namespace ostrel {
namespace {

QStringList LocalFiles(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            paths.append(LocalFilePath(url));
        }
    }
    return paths;
}

}  // namespace

void PathCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideLeft;
}

FileListView::FileListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideMiddle);
    setItemDelegateForColumn(FileListModel::ColumnFileName, new PathCellDelegate(this));
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit contextMenuWanted(viewport()->mapToGlobal(pos)); });
    connect(header(), &QHeaderView::sectionResized, this, [this] {
        if (!applyingWidths_) {
            userResizedColumns_ = true;
        }
    });
}

void FileListView::SetListModel(FileListModel* model) {
    setModel(model);
    // The view works on the model's selection; the one setModel made is not needed.
    QItemSelectionModel* own = selectionModel();
    setSelectionModel(model->Selection());
    delete own;
}

void FileListView::ApplyDefaultWidths() {
    const QScopedValueRollback guard(applyingWidths_, true);
    const auto& columns = FileListModel::Columns();
    // Each column would like room for its header and a typical text; room left over is shared
    // in the columns' default proportions, so a wide window widens the paths most. When the
    // list is too narrow for that, the path gives way first (it is elided at its start, the
    // whole path is its tooltip), then the others shrink towards their headers, so all eight
    // columns stay in sight.
    static const QStringList kTypicalTexts = {QString(),
                                              QStringLiteral("WEBM"),
                                              QStringLiteral("00:00:00"),
                                              QStringLiteral("1920 X 1080"),
                                              QStringLiteral("1,234.5 MB"),
                                              QStringLiteral("2026/12/08 23:59:59"),
                                              QStringLiteral("mpeg4"),
                                              QStringLiteral("aac")};
    constexpr int kWishedPathWidth = 220;
    constexpr int kLeastPathWidth = 120;
    constexpr int kPadding = 16;
    constexpr int kLeastPadding = 10;
    const QFontMetrics headerMetrics = header()->fontMetrics();
    const QFontMetrics textMetrics = fontMetrics();
    const int path = FileListModel::ColumnFileName;
    QList<int> wished;
    QList<int> least;
    int totalRelative = 0;
    for (int column = 0; column < columns.size(); ++column) {
        const int headerWidth = headerMetrics.horizontalAdvance(
            model() != nullptr ? model()->headerData(column, Qt::Horizontal).toString()
                               : columns.at(column).Header);
        const int textWidth = textMetrics.horizontalAdvance(kTypicalTexts.value(column));
        wished.append(column == path ? std::max(headerWidth + kPadding, kWishedPathWidth)
                                     : std::max(headerWidth, textWidth) + kPadding);
        // The time of day is the end of the modification time, a duration cut in its middle
        // is no duration, and a type is one short word: those columns keep their whole text (a
        // translated header may be shorter than it); the others may go down to their header.
        const bool keepsText = column == FileListModel::ColumnModified ||
                               column == FileListModel::ColumnDuration ||
                               column == FileListModel::ColumnType;
        const int leastText = keepsText ? textWidth : 0;
        least.append(column == path ? std::max(headerWidth + kLeastPadding, kLeastPathWidth)
                                    : std::max(headerWidth, leastText) + kLeastPadding);
        totalRelative += columns.at(column).RelativeWidth;
    }
    const int available = viewport()->width();
    const int wishedSum = std::accumulate(wished.begin(), wished.end(), 0);
    QList<int> widths = wished;
    if (wishedSum <= available) {
        const int spare = available - wishedSum;
        for (int column = 0; column < columns.size(); ++column) {
            widths[column] += spare * columns.at(column).RelativeWidth / totalRelative;
        }
    } else {
        const int others = wishedSum - wished.at(path);
        widths[path] = std::max(least.at(path), available - others);
        const int deficit = others + widths.at(path) - available;
        int shrinkable = 0;
        for (int column = 0; column < columns.size(); ++column) {
            shrinkable += column == path ? 0 : wished.at(column) - least.at(column);
        }
        if (deficit > 0 && shrinkable > 0) {
            const double share = std::min(1.0, static_cast<double>(deficit) / shrinkable);
            for (int column = 0; column < columns.size(); ++column) {
                if (column != path) {
                    const int room = wished.at(column) - least.at(column);
                    widths[column] -= static_cast<int>(std::ceil(room * share));
                }
            }
        }
    }
    for (int column = 0; column < columns.size(); ++column) {
        header()->resizeSection(column, widths.at(column));
    }
}

void FileListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    if (!userResizedColumns_) {
        ApplyDefaultWidths();
    }
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    // A copy is offered for a list of files, nothing for anything else.
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FileListView::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The files are read after the drop has finished, so the program they came from is not
    // kept waiting while they are probed.
    QMetaObject::invokeMethod(
        this, [this, paths] { emit filesDropped(paths); }, Qt::QueuedConnection);
}

}  // namespace ostrel
