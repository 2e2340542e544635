// The file list kept between sessions: every row's facts, as a JSON file in the per-user state
// folder, replaced atomically so a crash while saving leaves the previous list whole.
#pragma once

#include <QList>
#include <QString>

#include "filelist/file_row.h"

namespace ostrel {

// The list's file in the per-user state folder (QStandardPaths::AppLocalDataLocation).
QString DefaultListPath();
// The run journal of the window's conversions, beside the list.
QString DefaultRunJournalPath();

bool SaveFileList(const QString& path, const QList<FileRow>& rows);
// The rows as saved; nothing when there is no list or it cannot be read. Rows without a file
// name are left out.
QList<FileRow> LoadFileList(const QString& path);

}  // namespace ostrel
