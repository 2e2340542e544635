// The progress window "Please wait...": one row per file of the run with its planned output
// path, progress and status; Stop (then Close) and "Open Output Folder" once the run ended. It
// shows the run's state and rows; the run itself talks to the encoder.
#pragma once

#include <QDialog>

#include "app/completion_notice.h"

class QPushButton;
class QTreeView;

namespace ostrel {

class ConversionRun;
class RunRowsModel;

class FormConverting : public QDialog {
    Q_OBJECT

  public:
    // The window takes the run as its child.
    FormConverting(ConversionRun* run, const QString& outputFolder, QWidget* parent = nullptr);

    void SetFolderOpener(FolderOpenerFunction opener) { folderOpener_ = std::move(opener); }

    QTreeView* List() const { return list_; }
    QPushButton* StopButton() const { return btnStop_; }
    QPushButton* OpenButton() const { return btnOpen_; }

  protected:
    void reject() override;

  private:
    void Stop();
    void ShowState();

    ConversionRun* run_;
    QString outputFolder_;
    FolderOpenerFunction folderOpener_;
    RunRowsModel* rowsModel_;
    QTreeView* list_;
    QPushButton* btnStop_;
    QPushButton* btnOpen_;
};

}  // namespace ostrel
