// The road from the Convert command to the completion notice: the format dialog (created at
// the first Convert and then only hidden, so its settings last for the whole session), the
// run, the progress window and the notice. The main window owns one instance.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "filelist/file_row.h"

class QWidget;

namespace ostrel {
namespace engine {
class Encoder;
}

class CompletionNotice;

// "The last conversion was interrupted: 12 of 50 files done. Convert the remaining 38?"
QString ResumeQuestion(int done, int total);

class ConversionUi : public QObject {
    Q_OBJECT

  public:
    // encoder is the main window's conversion queue (its event poster already set to the UI
    // thread); outputFolder is the main window's output folder, which a run updates.
    ConversionUi(QWidget* mainWindow, engine::Encoder& encoder, QString& outputFolder);
    ~ConversionUi() override;

    // The Convert command with at least one row: shows the format dialog modally; its OK
    // checks the folder, plans and queues one task per row and opens the progress window.
    void Convert(const QList<FileRow>& rows);

    // Where each run keeps its journal; without one, runs keep none.
    void SetJournalPath(const QString& path);
    // A run that did not end (a crash, a kill, a logout) left its journal: when files are left
    // to convert, ask (Yes/No) whether to convert them, with the same settings and outputs.
    // Either way the old journal is gone afterwards unless the new run keeps it.
    void OfferResume(const std::function<bool(const QString& question)>& ask);

    // Asks a running conversion to stop (the main window is closing).
    void StopEncoder();

    // The completion notice, shown at the end of every run.
    CompletionNotice* Notice() const;
    // What plays the completion sound (the desktop's sound unless a test replaces it).
    void SetSoundPlayer(std::function<void()> player);

  private:
    class Private;
    Private* d_;
};

}  // namespace ostrel
