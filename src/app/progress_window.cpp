#include "app/progress_window.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionProgressBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include "engine/engine.h"

namespace ostrel {
namespace {

const QString kCaptionRunning = QStringLiteral("Please wait...");
const QString kCaptionFinished = QStringLiteral("Convert Finished!");
const QString kStopText = QStringLiteral("Stop");
const QString kCloseText = QStringLiteral("Close");

// Draws the "Progress" cell as a bar carrying its text ("45%"); other cells as usual.
class ProgressCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QString text = index.data().toString();
        if (index.column() != RunRowsModel::ProgressColumn || !text.endsWith(QLatin1Char('%'))) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.state = option.state | QStyle::State_Horizontal;
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = qBound(0, text.chopped(1).toInt(), 100);
        bar.text = text;
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.palette = option.palette;
        bar.fontMetrics = option.fontMetrics;
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // Room for a bar whose text is readable.
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width(), qMax(size.height(), option.fontMetrics.height() + 8)};
    }
};

}  // namespace

RunRowsModel::RunRowsModel(const ConversionRun* run, QObject* parent)
    : QAbstractTableModel(parent), run_(run) {
    connect(run, &ConversionRun::rowChanged, this, [this](int row) {
        emit dataChanged(index(row, OutputColumn), index(row, StatusColumn));
    });
}

int RunRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || run_ == nullptr ? 0 : run_->RowCount();
}

int RunRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunRowsModel::data(const QModelIndex& index, int role) const {
    if (run_ == nullptr || !index.isValid() || index.row() >= run_->RowCount()) {
        return {};
    }
    const RunRow& row = run_->Rows().at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case OutputColumn:
                return QDir::toNativeSeparators(row.OutputPath);
            case ProgressColumn:
                return row.Progress;
            case StatusColumn:
                return row.Status;
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole && index.column() != ProgressColumn) {
        return index.column() == OutputColumn ? row.OutputPath : row.Status;
    }
    return {};
}

QVariant RunRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case OutputColumn:
            return QStringLiteral("Output File Name");
        case ProgressColumn:
            return QStringLiteral("Progress");
        case StatusColumn:
            return QStringLiteral("Status");
        default:
            return {};
    }
}

FormConverting::FormConverting(ConversionRun* run, engine::Encoder& encoder,
                               const QString& outputFolder, int threads, QWidget* parent)
    : QDialog(parent),
      run_(run),
      encoder_(encoder),
      outputFolder_(outputFolder),
      threads_(threads),
      folderOpener_(DefaultFolderOpener()),
      rowsModel_(new RunRowsModel(run, this)),
      list_(new QTreeView(this)),
      btnStop_(new QPushButton(kStopText, this)),
      btnOpen_(new QPushButton(QStringLiteral("Open Output Folder"), this)) {
    setObjectName(QStringLiteral("FormConverting"));
    setWindowTitle(kCaptionRunning);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    resize(620, 320);

    list_->setObjectName(QStringLiteral("ListView1"));
    list_->setModel(rowsModel_);
    list_->setItemDelegate(new ProgressCellDelegate(list_));
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setSortingEnabled(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(RunRowsModel::OutputColumn, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(RunRowsModel::ProgressColumn, QHeaderView::Fixed);
    list_->header()->setSectionResizeMode(RunRowsModel::StatusColumn, QHeaderView::Interactive);
    list_->header()->resizeSection(RunRowsModel::ProgressColumn, 90);
    list_->header()->resizeSection(RunRowsModel::StatusColumn, 170);

    btnStop_->setObjectName(QStringLiteral("BtnStop"));
    btnOpen_->setObjectName(QStringLiteral("BtnOpen"));
    btnOpen_->setEnabled(false);
    btnStop_->setAutoDefault(false);
    btnOpen_->setAutoDefault(false);
    btnStop_->setMinimumWidth(97);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOpen_);
    buttons->addWidget(btnStop_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(btnStop_, &QPushButton::clicked, this, [this] { Stop(); });
    connect(btnOpen_, &QPushButton::clicked, this, [this] {
        if (folderOpener_) {
            folderOpener_(outputFolder_);
        }
    });
    connect(run_, &ConversionRun::finished, this, [this] {
        SwitchToFinished();
        emit runFinished();
    });
}

void FormConverting::Start() {
    run_->MarkStarted();
    if (encoder_.StartTasks(threads_) < 0) {
        // Nothing was queued (every file failed) or the encoder could not start: no end of
        // queue will ever be reported, so the window does not wait for one.
        SwitchToFinished();
    }
}

void FormConverting::Stop() {
    run_->RequestStop();
    encoder_.StopTasks(false);
    if (btnStop_->text() == kCloseText) {
        close();
    } else {
        btnStop_->setText(kCloseText);
    }
}

void FormConverting::SwitchToFinished() {
    setWindowTitle(kCaptionFinished);
    btnStop_->setText(kCloseText);
    btnOpen_->setEnabled(true);
    btnOpen_->setFocus(Qt::OtherFocusReason);
}

void FormConverting::reject() {
    // Every way of closing (the Close button, the close box, Escape) ends here: the encoder
    // is stopped before the window goes.
    encoder_.StopTasks(false);
    QDialog::reject();
}

}  // namespace ostrel
