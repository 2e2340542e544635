// Adding files to the list: the open dialog's filter table, the duplicate test and the probe
// of one file into a new row.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ostrel {
namespace engine {
class Decoder;
}
class FileListModel;

struct OpenFilterEntry {
    QString Label;
    QString Pattern;  // patterns separated by ";"
};

// The open dialog's 33 entries in order; the first is preselected.
const QList<OpenFilterEntry>& OpenFilterTable();

// The table as name filters for a file dialog that hides the pattern details:
// "<label> (<pattern> <pattern> ...)". "*.*" matches every file, as "All Files" promises.
QStringList OpenFilterNameFilters();

enum class AddOutcome { None, Added, AlreadyListed, Rejected };

struct AddResult {
    AddOutcome Outcome = AddOutcome::None;
    int Row = -1;     // the new row when added
    QString Message;  // the text to show when the decoder rejected the file
};

// Probes path through the decoder and appends its row. A path already listed is skipped
// without a message.
// relativeFolder is the file's folder relative to a folder it was added with ("a/b/").
AddResult ProbeAndAdd(FileListModel& model, engine::Decoder& decoder, const QString& path,
                      const QString& relativeFolder = QString());

}  // namespace ostrel
