#include "app/file_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QUrl>
#include <algorithm>

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
            paths.append(url.toLocalFile());
        }
    }
    return paths;
}

}  // namespace

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
    // Each column first gets room for its header and a typical text; room left over is
    // shared in the columns' default proportions, so a wide window widens the paths most.
    static const QStringList kTypicalTexts = {QString(),
                                              QStringLiteral("MPEG"),
                                              QStringLiteral("00:00:00"),
                                              QStringLiteral("1920 X 1080"),
                                              QStringLiteral("1,234.5 MB"),
                                              QStringLiteral("2026/12/08 23:59:59"),
                                              QStringLiteral("mpeg2video"),
                                              QStringLiteral("pcm_s16le")};
    constexpr int kMinimumPathWidth = 220;
    constexpr int kPadding = 20;
    const QFontMetrics headerMetrics = header()->fontMetrics();
    const QFontMetrics textMetrics = fontMetrics();
    QList<int> widths;
    int used = 0;
    int totalRelative = 0;
    for (int column = 0; column < columns.size(); ++column) {
        const int width =
            std::max({headerMetrics.horizontalAdvance(columns.at(column).Header) + kPadding,
                      textMetrics.horizontalAdvance(kTypicalTexts.value(column)) + kPadding,
                      column == FileListModel::ColumnFileName ? kMinimumPathWidth : 0});
        widths.append(width);
        used += width;
        totalRelative += columns.at(column).RelativeWidth;
    }
    const int spare = std::max(0, viewport()->width() - used);
    for (int column = 0; column < columns.size(); ++column) {
        header()->resizeSection(
            column, widths.at(column) + spare * columns.at(column).RelativeWidth / totalRelative);
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
