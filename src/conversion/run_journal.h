// The journal of a conversion run: what was planned (the output folder, the settings, every
// file's input, planned output and option string) and, as the run goes, each file that ended.
// A run that did not end (a crash, kill -9, a power cut) is taken up again from it, converting
// only the files not done.
//
// The file is JSON lines: the first line is the plan, written atomically; each later line
// records one file's end ({"done":i,"output":...} or {"failed":i,"error":...}) and is flushed
// to the disk at once. A line cut short by a crash is ignored.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

#include "conversion/conversion_run.h"

namespace ostrel {

struct JournalEntry {
    RunRow Planned;  // input, output, options, subfolder
    bool Done = false;
    QString Error;  // the last failure, when it failed
};

struct JournalContents {
    QDateTime Started;
    QString OutputFolder;
    bool KeepFileDate = false;
    QJsonObject Settings;  // for the reader: the profile and settings the run was made with
    QList<JournalEntry> Entries;

    int DoneCount() const;
    // The planned rows not done, and the index of each in Entries.
    QList<RunRow> PendingRows(QList<int>* entryIndexes = nullptr) const;
};

// The settings record as a JSON object, and back (unknown or missing fields keep defaults).
QJsonObject SettingsToJson(const OutputSettings& settings);

// Reads a journal. None when there is none or its plan line cannot be read. An entry whose
// end was not recorded counts as done when its planned output appeared after the journal was
// started: the engine only ever renames a complete output onto a planned name that was free,
// so a crash between that rename and the journal line does not convert the file twice.
std::optional<JournalContents> LoadJournal(const QString& path);

// Writes the journal of one run, following its rows' ends.
class RunJournal : public QObject {
    Q_OBJECT

  public:
    explicit RunJournal(QObject* parent = nullptr);
    ~RunJournal() override;

    // Writes the plan of run (its rows as planned, before queuing) to path, replacing any
    // journal there. entryIndexes maps the run's rows to the entries of a journal that is
    // taken up again (then the plan is rewritten with all of contents' entries). False when
    // the file cannot be written.
    bool Begin(const QString& path, ConversionRun& run, const QJsonObject& settings);
    bool Resume(const QString& path, ConversionRun& run, const JournalContents& contents,
                const QList<int>& entryIndexes);
    // Removes the journal: the run ended and nothing is left to take up.
    void Remove();

    const QString& Path() const { return path_; }

  private:
    bool WritePlan(const QJsonObject& plan);
    void Append(const QJsonObject& line);
    void OnTaskEnded(int row);

    QString path_;
    ConversionRun* run_ = nullptr;
    QList<int> entryOfRow_;
    int fd_ = -1;
};

}  // namespace ostrel
