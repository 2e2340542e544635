#include "conversion/run_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include "common/engine_path.h"
#include "filelist/folder_walk.h"

namespace ostrel {
namespace {

constexpr int kJournalVersion = 1;

QJsonObject RowToJson(const RunRow& row) {
    return {{QStringLiteral("input"), row.InputPath},
            {QStringLiteral("output"), row.OutputPath},
            {QStringLiteral("options"), row.Options},
            {QStringLiteral("subfolder"), row.Subfolder}};
}

RunRow RowFromJson(const QJsonObject& object) {
    RunRow row;
    row.InputPath = object.value(QStringLiteral("input")).toString();
    row.OutputPath = object.value(QStringLiteral("output")).toString();
    row.Options = object.value(QStringLiteral("options")).toString();
    row.Subfolder = SafeRelativeFolder(object.value(QStringLiteral("subfolder")).toString());
    return row;
}

// The planned output is there and was put there after the journal began.
bool AppearedSince(const QString& path, const QDateTime& started) {
    struct stat info {};
    if (::lstat(EncodeFileName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const qint64 changedMs = qint64(info.st_ctim.tv_sec) * 1000 + info.st_ctim.tv_nsec / 1000000;
    return changedMs >= started.toMSecsSinceEpoch();
}

}  // namespace

int JournalContents::DoneCount() const {
    return static_cast<int>(std::ranges::count(Entries, true, &JournalEntry::Done));
}

QList<RunRow> JournalContents::PendingRows(QList<int>* entryIndexes) const {
    QList<RunRow> rows;
    for (qsizetype i = 0; i < Entries.size(); ++i) {
        if (!Entries[i].Done) {
            rows.append(Entries[i].Planned);
            if (entryIndexes != nullptr) {
                entryIndexes->append(static_cast<int>(i));
            }
        }
    }
    return rows;
}

QJsonObject SettingsToJson(const OutputSettings& s) {
    return {{QStringLiteral("format"), s.FormatKey},
            {QStringLiteral("profile"), s.FormatCaption},
            {QStringLiteral("extension"), s.Extension},
            {QStringLiteral("width"), s.Width},
            {QStringLiteral("height"), s.Height},
            {QStringLiteral("videoQuality"), s.VideoQuality},
            {QStringLiteral("audioQuality"), s.AudioQuality},
            {QStringLiteral("videoBitrate"), s.VideoBitrate},
            {QStringLiteral("frameRate"), s.FrameRate},
            {QStringLiteral("aspect"), s.AspectRatio},
            {QStringLiteral("audioBitrate"), s.AudioBitrate},
            {QStringLiteral("sampleRate"), s.SampleRate},
            {QStringLiteral("channels"), s.Channels},
            {QStringLiteral("removeAudio"), s.RemoveAudio},
            {QStringLiteral("keepFolderStructure"), s.KeepFolderStructure == ChoiceYes},
            {QStringLiteral("keepFileDate"), s.KeepFileDate == ChoiceYes}};
}

std::optional<JournalContents> LoadJournal(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QJsonObject plan = QJsonDocument::fromJson(file.readLine()).object();
    if (plan.value(QStringLiteral("journal")).toInt() != kJournalVersion) {
        return std::nullopt;
    }
    JournalContents contents;
    contents.Started =
        QDateTime::fromString(plan.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs);
    contents.OutputFolder = plan.value(QStringLiteral("outputFolder")).toString();
    contents.KeepFileDate = plan.value(QStringLiteral("keepFileDate")).toBool();
    contents.Settings = plan.value(QStringLiteral("settings")).toObject();
    const QJsonArray files = plan.value(QStringLiteral("files")).toArray();
    for (const QJsonValue& value : files) {
        JournalEntry entry;
        entry.Planned = RowFromJson(value.toObject());
        entry.Done = value.toObject().value(QStringLiteral("done")).toBool();
        contents.Entries.append(entry);
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n')) {
            break;  // cut short by a crash
        }
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const auto entryAt = [&](const QString& key) -> JournalEntry* {
            const int index = event.value(key).toInt(-1);
            return index >= 0 && index < contents.Entries.size() ? &contents.Entries[index]
                                                                 : nullptr;
        };
        if (JournalEntry* done = entryAt(QStringLiteral("done"))) {
            done->Done = true;
            done->Planned.OutputPath = event.value(QStringLiteral("output")).toString();
        } else if (JournalEntry* failed = entryAt(QStringLiteral("failed"))) {
            failed->Error = event.value(QStringLiteral("error")).toString();
        }
    }
    for (JournalEntry& entry : contents.Entries) {
        if (!entry.Done && contents.Started.isValid() &&
            AppearedSince(entry.Planned.OutputPath, contents.Started)) {
            entry.Done = true;
        }
    }
    return contents;
}

RunJournal::RunJournal(QObject* parent) : QObject(parent) {}

RunJournal::~RunJournal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RunJournal::Begin(const QString& path, ConversionRun& run, const QJsonObject& settings) {
    JournalContents contents;
    contents.Started = QDateTime::currentDateTimeUtc();
    contents.OutputFolder = run.OutputFolder();
    contents.KeepFileDate = run.KeepsFileDate();
    contents.Settings = settings;
    QList<int> indexes;
    for (const RunRow& row : run.Rows()) {
        indexes.append(static_cast<int>(contents.Entries.size()));
        contents.Entries.append({row, false, {}});
    }
    return Resume(path, run, contents, indexes);
}

bool RunJournal::Resume(const QString& path, ConversionRun& run, const JournalContents& contents,
                        const QList<int>& entryIndexes) {
    path_ = path;
    run_ = &run;
    entryOfRow_ = entryIndexes;
    QJsonArray files;
    for (const JournalEntry& entry : contents.Entries) {
        QJsonObject file = RowToJson(entry.Planned);
        if (entry.Done) {
            file.insert(QStringLiteral("done"), true);
        }
        files.append(file);
    }
    // The start stays that of the first run: outputs renamed into place since then count.
    const QJsonObject plan{
        {QStringLiteral("journal"), kJournalVersion},
        {QStringLiteral("started"), contents.Started.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("outputFolder"), contents.OutputFolder},
        {QStringLiteral("keepFileDate"), contents.KeepFileDate},
        {QStringLiteral("settings"), contents.Settings},
        {QStringLiteral("files"), files}};
    if (!WritePlan(plan)) {
        return false;
    }
    connect(&run, &ConversionRun::taskEnded, this, &RunJournal::OnTaskEnded);
    return true;
}

bool RunJournal::WritePlan(const QJsonObject& plan) {
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(plan).toJson(QJsonDocument::Compact) + '\n');
    if (!file.commit()) {
        return false;
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = ::open(EncodeFileName(path_).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    return fd_ >= 0;
}

void RunJournal::Append(const QJsonObject& line) {
    if (fd_ < 0) {
        return;
    }
    // One write per line: a crash leaves at most the last line cut short.
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size()) {
        ::fdatasync(fd_);
    }
}

void RunJournal::OnTaskEnded(int row) {
    if (run_ == nullptr || row < 0 || row >= run_->RowCount() || row >= entryOfRow_.size()) {
        return;
    }
    const RunRow& runRow = run_->Rows().at(row);
    const int entry = entryOfRow_.at(row);
    if (runRow.Status == RunRowStatus::Succeeded) {
        Append({{QStringLiteral("done"), entry}, {QStringLiteral("output"), runRow.OutputPath}});
    } else if (runRow.Status == RunRowStatus::Failed) {
        Append({{QStringLiteral("failed"), entry}, {QStringLiteral("error"), runRow.ErrorText}});
    }
}

void RunJournal::Remove() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!path_.isEmpty()) {
        ::unlink(EncodeFileName(path_).constData());
    }
    if (run_ != nullptr) {
        disconnect(run_, nullptr, this, nullptr);
    }
}

}  // namespace ostrel
