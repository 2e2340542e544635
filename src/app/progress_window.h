// The progress window "Please wait...": one row per file of the run with its planned output
// path, progress and status; Stop (then Close) and "Open Output Folder" once the run ended.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>

#include "app/completion_notice.h"
#include "conversion/conversion_run.h"

class QPushButton;
class QTreeView;

namespace ostrel {
namespace engine {
class Encoder;
}

// The rows of a run as a three-column table: "Output File Name", "Progress", "Status".
class RunRowsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int { OutputColumn = 0, ProgressColumn, StatusColumn, ColumnCount };

    explicit RunRowsModel(const ConversionRun* run, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    QPointer<const ConversionRun> run_;
};

class FormConverting : public QDialog {
    Q_OBJECT

  public:
    // The run must outlive the window or be its child.
    FormConverting(ConversionRun* run, engine::Encoder& encoder, const QString& outputFolder,
                   int threads, QWidget* parent = nullptr);

    void SetFolderOpener(FolderOpenerFunction opener) { folderOpener_ = std::move(opener); }

    // Starts the encoder with the run's thread count. When the encoder has nothing to start,
    // the window goes straight to its finished state (without the completion announcement).
    void Start();

    QTreeView* List() const { return list_; }
    QPushButton* StopButton() const { return btnStop_; }
    QPushButton* OpenButton() const { return btnOpen_; }

  signals:
    // The encoder reported the end of the queue: play the sound and show the notice.
    void runFinished();

  protected:
    void reject() override;

  private:
    void Stop();
    void SwitchToFinished();

    ConversionRun* run_;
    engine::Encoder& encoder_;
    QString outputFolder_;
    int threads_;
    FolderOpenerFunction folderOpener_;
    RunRowsModel* rowsModel_;
    QTreeView* list_;
    QPushButton* btnStop_;
    QPushButton* btnOpen_;
};

}  // namespace ostrel
