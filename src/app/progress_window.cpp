#include "app/progress_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionProgressBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include "conversion/conversion_run.h"
#include "conversion/run_rows_model.h"

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
        const QVariant percent = index.data(RunRowsModel::PercentRole);
        if (index.column() != RunRowsModel::ProgressColumn || !percent.isValid()) {
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
        bar.progress = qBound(0, percent.toInt(), 100);
        bar.text = index.data().toString();
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

FormConverting::FormConverting(ConversionRun* run, const QString& outputFolder, QWidget* parent)
    : QDialog(parent),
      run_(run),
      outputFolder_(outputFolder),
      folderOpener_(DefaultFolderOpener()),
      rowsModel_(new RunRowsModel(run, this)),
      list_(new QTreeView(this)),
      btnStop_(new QPushButton(kStopText, this)),
      btnOpen_(new QPushButton(QStringLiteral("Open Output Folder"), this)) {
    run_->setParent(this);
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
    connect(run_, &ConversionRun::stateChanged, this, [this] { ShowState(); });
    ShowState();
}

void FormConverting::Stop() {
    // The first press stops the run; once it is stopped or finished a press closes the window.
    const bool closes = run_->CurrentState() == ConversionRun::State::Stopped ||
                        run_->CurrentState() == ConversionRun::State::Finished;
    run_->Stop();
    if (closes) {
        close();
    }
}

void FormConverting::ShowState() {
    const ConversionRun::State state = run_->CurrentState();
    const bool finished = state == ConversionRun::State::Finished;
    setWindowTitle(finished ? kCaptionFinished : kCaptionRunning);
    btnStop_->setText(finished || state == ConversionRun::State::Stopped ? kCloseText : kStopText);
    if (finished && !btnOpen_->isEnabled()) {
        btnOpen_->setEnabled(true);
        btnOpen_->setFocus(Qt::OtherFocusReason);
    }
}

void FormConverting::reject() {
    // Every way of closing (the Close button, the close box, Escape) ends here: the encoder
    // is stopped before the window goes.
    run_->Abandon();
    QDialog::reject();
}

}  // namespace ostrel
