#include "app/progress_window.h"

#include "common/settings_store.h"
#include "conversion/when_done.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOptionProgressBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/window_placement.h"
#include "conversion/conversion_run.h"
#include "conversion/run_overview.h"
#include "conversion/run_rows_model.h"

namespace ostrel {
namespace {

const char* const kCaptionRunning = QT_TRANSLATE_NOOP("ostrel::FormConverting", "Please wait...");
// The captions with their access keys: Alt+S stops, Alt+C closes, Alt+O opens the folder.
const char* const kStopText = QT_TRANSLATE_NOOP("ostrel::FormConverting", "&Stop");
const char* const kCloseText = QT_TRANSLATE_NOOP("ostrel::FormConverting", "&Close");
const char* const kPauseText = QT_TRANSLATE_NOOP("ostrel::FormConverting", "&Pause");
const char* const kResumeText = QT_TRANSLATE_NOOP("ostrel::FormConverting", "&Resume");
const char* const kOpenText = QT_TRANSLATE_NOOP("ostrel::FormConverting", "&Open Output Folder");
const char* const kCopyErrorText = QT_TRANSLATE_NOOP("ostrel::FormConverting", "Copy Error");

constexpr int kProgressWidth = 90;
constexpr int kLeastStatusWidth = 170;
constexpr int kLeastOutputWidth = 200;
constexpr int kWishedOutputWidth = 360;
constexpr int kCellPadding = 16;
constexpr int kRefreshMs = 1000;

// Draws the "Progress" cell as a bar carrying its text ("45%"), the text in the bar's text
// colour over the fill and in the list's text colour beside it, so it reads wherever the fill
// ends. The status is cut at its end, not in its middle: the reason of an error starts it.
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
        bar.state = (option.state | QStyle::State_Horizontal) & ~QStyle::State_Selected;
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = qBound(0, percent.toInt(), 100);
        bar.textVisible = false;
        bar.palette = option.palette;
        bar.fontMetrics = option.fontMetrics;
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);

        const QRect contents = style->subElementRect(QStyle::SE_ProgressBarContents, &bar, widget);
        const int fillRight = contents.left() + contents.width() * bar.progress / 100;
        const QString text = index.data().toString();
        painter->save();
        painter->setFont(option.font);
        painter->setClipRect(QRect(QPoint(contents.left(), bar.rect.top()),
                                   QPoint(fillRight - 1, bar.rect.bottom())));
        painter->setPen(option.palette.color(QPalette::Active, QPalette::HighlightedText));
        painter->drawText(bar.rect, Qt::AlignCenter, text);
        painter->setClipRect(
            QRect(QPoint(fillRight, bar.rect.top()), QPoint(bar.rect.right(), bar.rect.bottom())));
        painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
        painter->drawText(bar.rect, Qt::AlignCenter, text);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // Room for a bar whose text is readable.
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width(), qMax(size.height(), option.fontMetrics.height() + 8)};
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == RunRowsModel::StatusColumn) {
            option->textElideMode = Qt::ElideRight;
        }
    }
};

}  // namespace

FormConverting::FormConverting(ConversionRun* run, const QString& outputFolder,
                               const QList<double>& sourceSeconds, QWidget* parent)
    : QDialog(parent),
      run_(run),
      outputFolder_(outputFolder),
      sourceSeconds_(sourceSeconds),
      folderOpener_(DefaultFolderOpener()),
      rowsModel_(new RunRowsModel(run, this)),
      runLabel_(new QLabel(this)),
      runBar_(new QProgressBar(this)),
      list_(new QTreeView(this)),
      details_(new QLabel(this)),
      btnStop_(new QPushButton(tr(kStopText), this)),
      btnOpen_(new QPushButton(tr(kOpenText), this)) {
    run_->setParent(this);
    setObjectName(QStringLiteral("FormConverting"));
    setWindowTitle(tr(kCaptionRunning));
    setWindowFlags(DialogFlags(true));
    resize(640, 360);

    runLabel_->setObjectName(QStringLiteral("RunProgress"));
    runBar_->setObjectName(QStringLiteral("RunBar"));
    runBar_->setRange(0, 100);
    runBar_->setValue(0);
    runBar_->setTextVisible(false);
    runBar_->setFixedHeight(runLabel_->fontMetrics().height() / 2 + 4);

    list_->setObjectName(QStringLiteral("ListView1"));
    list_->setAccessibleName(tr("Files"));
    list_->setModel(rowsModel_);
    list_->setItemDelegate(new ProgressCellDelegate(list_));
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setSortingEnabled(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = list_->header();
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(40);
    header->resizeSection(RunRowsModel::ProgressColumn, kProgressWidth);

    details_->setObjectName(QStringLiteral("StatusDetails"));
    details_->setWordWrap(true);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    details_->setVisible(false);

    btnStop_->setObjectName(QStringLiteral("BtnStop"));
    btnOpen_->setObjectName(QStringLiteral("BtnOpen"));
    btnOpen_->setEnabled(false);
    btnStop_->setAutoDefault(false);
    btnOpen_->setAutoDefault(false);
    btnStop_->setMinimumWidth(97);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    whenDone_ = new QComboBox(this);
    whenDone_->setObjectName(QStringLiteral("WhenDone"));
    for (const QString& choice : WhenDoneChoices()) {
        whenDone_->addItem(tr(choice.toUtf8().constData()));
    }
    whenDone_->setCurrentIndex(static_cast<int>(WhenDoneFromText(ReadSetting(kSettingWhenDone))));
    connect(whenDone_, &QComboBox::currentIndexChanged, this,
            [](int index) { WriteSetting(kSettingWhenDone, QString::number(index)); });
    auto* whenDoneLabel = new QLabel(tr(kWhenDoneLabelSource), this);
    whenDoneLabel->setBuddy(whenDone_);
    buttons->insertWidget(0, whenDone_);
    buttons->insertWidget(0, whenDoneLabel);
    btnPause_ = new QPushButton(tr(kPauseText), this);
    btnPause_->setObjectName(QStringLiteral("BtnPause"));
    btnPause_->setAutoDefault(false);
    buttons->addWidget(btnPause_);
    buttons->addWidget(btnOpen_);
    buttons->addWidget(btnStop_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(runLabel_);
    layout->addWidget(runBar_);
    layout->addWidget(list_, 1);
    layout->addWidget(details_);
    layout->addLayout(buttons);
    // Tab goes from the list to the buttons in the order they are seen.
    setTabOrder(list_, btnOpen_);
    setTabOrder(btnOpen_, btnStop_);

    connect(btnStop_, &QPushButton::clicked, this, [this] { Stop(); });
    connect(btnPause_, &QPushButton::clicked, this, [this] {
        if (run_->Paused() == RunPause::None) {
            run_->Pause();
        } else {
            run_->Resume();
        }
    });
    connect(btnOpen_, &QPushButton::clicked, this, [this] {
        if (folderOpener_) {
            folderOpener_(outputFolder_);
        }
    });
    // The row the user picked (a click, the arrow keys) shows its whole error; the current row
    // the list sets by itself does not.
    connect(list_, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { ShowDetails(RowAt(index)); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = list_->selectionModel()->selectedRows();
        ShowDetails(rows.isEmpty() ? -1 : RowAt(rows.first()));
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int row = RowAt(list_->indexAt(pos));
        if (row < 0) {
            return;
        }
        QMenu* menu = ContextMenuFor(row);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(list_->viewport()->mapToGlobal(pos));
    });
    auto* copy = new QShortcut(QKeySequence::Copy, list_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { CopyError(RowAt(list_->currentIndex())); });
    // A width the user drags is kept; the widths the window gives itself follow the texts.
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!fittingColumns_ && headerPressed_) {
            userSizedColumns_ = true;
        }
    });
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (scrolling_) {
            return;
        }
        // The user scrolled: the window follows again once the row being converted is in
        // sight, and leaves the user's place alone while it is not.
        int converting = -1;
        for (int row = run_->RowCount() - 1; row >= 0 && converting < 0; --row) {
            converting = run_->Rows().at(row).Status == RunRowStatus::Converting ? row : -1;
        }
        if (converting >= 0) {
            const QRect shown = list_->visualRect(rowsModel_->index(converting, 0));
            followConverting_ = list_->viewport()->rect().contains(shown);
        }
    });
    connect(run_, &ConversionRun::rowChanged, this, [this](int row) { OnRowChanged(row); });
    connect(run_, &ConversionRun::stateChanged, this, [this] { ShowState(); });
    list_->viewport()->installEventFilter(this);
    ticker_.setInterval(kRefreshMs);
    connect(&ticker_, &QTimer::timeout, this, [this] { ShowRunFigures(); });

    for (const RunRow& row : run_->Rows()) {
        widestStatus_ =
            qMax(widestStatus_, list_->fontMetrics().horizontalAdvance(StatusText(row)));
    }
    ShowState();
}

int FormConverting::RowAt(const QModelIndex& index) const {
    return index.isValid() && index.row() < run_->RowCount() ? index.row() : -1;
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
    if (state == ConversionRun::State::Running && !clock_.isValid()) {
        clock_.start();
        ticker_.start();
    }
    if (finished && frozenElapsedMs_ < 0) {
        frozenElapsedMs_ = clock_.isValid() ? clock_.elapsed() - pausedMs_ : 0;
        ticker_.stop();
    }
    setWindowTitle(finished ? EndOfRunTexts(CountRows(run_->Rows()), run_->StopRequested()).Caption
                            : tr(kCaptionRunning));
    btnStop_->setText(finished || state == ConversionRun::State::Stopped ? tr(kCloseText)
                                                                         : tr(kStopText));
    const bool paused = run_->Paused() != RunPause::None;
    btnPause_->setText(paused ? tr(kResumeText) : tr(kPauseText));
    btnPause_->setEnabled(state == ConversionRun::State::Running);
    if (paused && !pauseClock_.isValid()) {
        pauseClock_.start();
    } else if (!paused && pauseClock_.isValid()) {
        pausedMs_ += pauseClock_.elapsed();
        pauseClock_.invalidate();
    }
    if (finished && !btnOpen_->isEnabled()) {
        btnOpen_->setEnabled(true);
        btnOpen_->setFocus(Qt::OtherFocusReason);
    }
    ShowRunFigures();
}

void FormConverting::ShowRunFigures() {
    const qint64 paused = pausedMs_ + (pauseClock_.isValid() ? pauseClock_.elapsed() : 0);
    const qint64 elapsed = frozenElapsedMs_ >= 0
                               ? frozenElapsedMs_
                               : (clock_.isValid() ? clock_.elapsed() - paused : 0);
    const bool running = run_->CurrentState() == ConversionRun::State::Running;
    RunProgressFigures figures = MeasureRunProgress(run_->Rows(), sourceSeconds_, elapsed, running);
    figures.Pause = run_->Paused();
    figures.FreeBytes = run_->PausedFreeBytes();
    runLabel_->setText(RunProgressText(figures));
    runBar_->setValue(figures.Percent);
}

void FormConverting::OnRowChanged(int row) {
    if (row < 0 || row >= run_->RowCount()) {
        return;
    }
    const RunRow& runRow = run_->Rows().at(row);
    const int width = list_->fontMetrics().horizontalAdvance(StatusText(runRow));
    if (width > widestStatus_) {
        widestStatus_ = width;
        FitColumns();
    }
    if (runRow.Status == RunRowStatus::Converting) {
        FollowConvertingRow();
    }
    if (row == detailsRow_) {
        ShowDetails(row);
    }
    ShowRunFigures();
}

void FormConverting::FollowConvertingRow() {
    if (!followConverting_) {
        return;
    }
    // The last row being converted: with several workers the earlier ones are just above it.
    for (int row = run_->RowCount() - 1; row >= 0; --row) {
        if (run_->Rows().at(row).Status == RunRowStatus::Converting) {
            scrolling_ = true;
            list_->scrollTo(rowsModel_->index(row, 0), QAbstractItemView::EnsureVisible);
            scrolling_ = false;
            return;
        }
    }
}

void FormConverting::FitColumns() {
    if (userSizedColumns_) {
        return;
    }
    // The status takes the room its longest text needs, as long as the output names keep a
    // readable width; the names have the rest.
    QHeaderView* header = list_->header();
    const int available = list_->viewport()->width();
    const int progress = header->sectionSize(RunRowsModel::ProgressColumn);
    // A long error first makes the window wider, as far as the screen allows.
    const int wanted = kWishedOutputWidth + progress + widestStatus_ + kCellPadding;
    if (wanted > available && isVisible() && !isMaximized() && screen() != nullptr) {
        const int frame = frameGeometry().width() - width();
        const int widest = screen()->availableGeometry().width() - frame;
        const int grown = qMin(widest, width() + wanted - available);
        if (grown > width()) {
            resize(grown, height());  // the list's new width fits the columns again
            KeepOnScreen(this);
            return;
        }
    }
    fittingColumns_ = true;
    const int outputLeast = qMin(kLeastOutputWidth, available / 3);
    const int status = qBound(kLeastStatusWidth, widestStatus_ + kCellPadding,
                              qMax(kLeastStatusWidth, available - progress - outputLeast));
    header->resizeSection(RunRowsModel::OutputColumn,
                          qMax(outputLeast, available - progress - status));
    fittingColumns_ = false;
}

void FormConverting::ShowDetails(int row) {
    detailsRow_ = row;
    const QString status = row >= 0 ? StatusText(run_->Rows().at(row)) : QString();
    // Only an error needs more room than its cell; the line shows it whole and selectable.
    const bool failed = row >= 0 && run_->Rows().at(row).Status == RunRowStatus::Failed;
    details_->setText(failed ? status : QString());
    details_->setVisible(failed);
}

QMenu* FormConverting::ContextMenuFor(int row) {
    auto* menu = new QMenu(this);
    QAction* copy = menu->addAction(tr(kCopyErrorText));
    copy->setObjectName(QStringLiteral("CopyError"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(row >= 0 && row < run_->RowCount() &&
                     run_->Rows().at(row).Status == RunRowStatus::Failed);
    connect(copy, &QAction::triggered, this, [this, row] { CopyError(row); });
    return menu;
}

bool FormConverting::CopyError(int row) const {
    if (row < 0 || row >= run_->RowCount() || run_->Rows().at(row).Status != RunRowStatus::Failed) {
        return false;
    }
    QGuiApplication::clipboard()->setText(StatusText(run_->Rows().at(row)));
    return true;
}

void FormConverting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FitColumns();
    KeepOnScreen(this);
}

bool FormConverting::eventFilter(QObject* watched, QEvent* event) {
    // The columns are fitted to the list's own width, once the layout has given it.
    if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        FitColumns();
    } else if (watched == list_->header()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            headerPressed_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            headerPressed_ = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormConverting::keyPressEvent(QKeyEvent* event) {
    // A stray Escape must not stop a run: while it goes, only Stop and the close box end it.
    // Once the run is over, Escape closes the window as in any dialog.
    const ConversionRun::State state = run_->CurrentState();
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        (state == ConversionRun::State::Queued || state == ConversionRun::State::Running)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FormConverting::reject() {
    // Every way of closing (the Close button, the close box, Escape) ends here: the encoder
    // is stopped before the window goes.
    run_->Abandon();
    QDialog::reject();
}

}  // namespace ostrel
