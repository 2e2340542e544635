// The progress window "Please wait...": one row per file of the run with its planned output
// path, progress and status; the run as a whole above the rows (files done, elapsed and
// remaining time); Stop (then Close) and "Open Output Folder" once the run ended. It shows the
// run's state and rows; the run itself talks to the encoder.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include "app/completion_notice.h"

class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace ostrel {

class ConversionRun;
class RunRowsModel;

class FormConverting : public QDialog {
    Q_OBJECT

  public:
    // The window takes the run as its child. sourceSeconds holds the listed duration of each
    // row's source (0 when unknown), for the whole run's remaining time.
    FormConverting(ConversionRun* run, const QString& outputFolder,
                   const QList<double>& sourceSeconds = {}, QWidget* parent = nullptr);

    void SetFolderOpener(FolderOpenerFunction opener) { folderOpener_ = std::move(opener); }

    QTreeView* List() const { return list_; }
    QPushButton* StopButton() const { return btnStop_; }
    QPushButton* PauseButton() const { return btnPause_; }
    // The "When done:" choice, remembered between runs.
    QComboBox* WhenDoneBox() const {
        return whenDone_;
    }
    QPushButton* OpenButton() const { return btnOpen_; }
    // "n of N files done" with the elapsed and remaining time.
    QLabel* RunLabel() const { return runLabel_; }
    QProgressBar* RunBar() const { return runBar_; }
    // The full status of the row last clicked, selectable.
    QLabel* StatusDetails() const { return details_; }
    // The list's context menu for a row ("Copy Error"); the caller owns it.
    QMenu* ContextMenuFor(int row);
    // Puts the full error text of a failed row on the clipboard; false for other rows.
    bool CopyError(int row) const;

  protected:
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Stop();
    void ShowState();
    void ShowRunFigures();
    void OnRowChanged(int row);
    void FollowConvertingRow();
    void FitColumns();
    void ShowDetails(int row);
    int RowAt(const QModelIndex& index) const;

    ConversionRun* run_;
    QString outputFolder_;
    QList<double> sourceSeconds_;
    FolderOpenerFunction folderOpener_;
    RunRowsModel* rowsModel_;
    QLabel* runLabel_;
    QProgressBar* runBar_;
    QTreeView* list_;
    QLabel* details_;
    QPushButton* btnStop_;
    QPushButton* btnPause_ = nullptr;
    QComboBox* whenDone_ = nullptr;
    QPushButton* btnOpen_;

    QElapsedTimer clock_;
    qint64 frozenElapsedMs_ = -1;  // the run's time once it ended
    // Paused time does not count as converting time, so the speed and the remaining time
    // stay right.
    qint64 pausedMs_ = 0;
    QElapsedTimer pauseClock_;
    QTimer ticker_;
    int detailsRow_ = -1;
    // The window scrolls to the row being converted until the user scrolls it out of sight.
    bool followConverting_ = true;
    bool scrolling_ = false;
    int widestStatus_ = 0;
    bool fittingColumns_ = false;
    bool userSizedColumns_ = false;
    bool headerPressed_ = false;
};

}  // namespace ostrel
