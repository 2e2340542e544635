#include "filelist/list_store.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace ostrel {
namespace {

constexpr int kListVersion = 1;

QString StateFile(const QString& name) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(folder);
    return folder + u'/' + name;
}

}  // namespace

QString DefaultListPath() {
    return StateFile(QStringLiteral("file-list.json"));
}

QString DefaultRunJournalPath() {
    return StateFile(QStringLiteral("run-journal.jsonl"));
}

bool SaveFileList(const QString& path, const QList<FileRow>& rows) {
    QJsonArray array;
    for (const FileRow& row : rows) {
        QJsonObject object{{QStringLiteral("file"), row.FileName},
                           {QStringLiteral("identity"), row.Identity},
                           {QStringLiteral("seconds"), row.DurationSeconds},
                           {QStringLiteral("bytes"), row.SizeBytes},
                           {QStringLiteral("video"), row.HasVideo},
                           {QStringLiteral("audio"), row.HasAudio},
                           {QStringLiteral("width"), row.VideoWidth},
                           {QStringLiteral("height"), row.VideoHeight},
                           {QStringLiteral("videoCodec"), row.VideoCodec},
                           {QStringLiteral("audioCodec"), row.AudioCodec}};
        if (row.Modified.isValid()) {
            object.insert(QStringLiteral("modifiedMs"), row.Modified.toMSecsSinceEpoch());
        }
        if (!row.RelativeFolder.isEmpty()) {
            object.insert(QStringLiteral("relativeFolder"), row.RelativeFolder);
        }
        array.append(object);
    }
    const QJsonObject list{{QStringLiteral("list"), kListVersion}, {QStringLiteral("rows"), array}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    return file.commit();
}

QList<FileRow> LoadFileList(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QJsonObject list = QJsonDocument::fromJson(file.readAll()).object();
    if (list.value(QStringLiteral("list")).toInt() != kListVersion) {
        return {};
    }
    QList<FileRow> rows;
    const QJsonArray array = list.value(QStringLiteral("rows")).toArray();
    rows.reserve(array.size());
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        FileRow row;
        row.FileName = object.value(QStringLiteral("file")).toString();
        if (row.FileName.isEmpty()) {
            continue;
        }
        row.Identity = object.value(QStringLiteral("identity")).toString();
        row.DurationSeconds = object.value(QStringLiteral("seconds")).toDouble();
        row.SizeBytes = object.value(QStringLiteral("bytes")).toDouble();
        row.HasVideo = object.value(QStringLiteral("video")).toBool();
        row.HasAudio = object.value(QStringLiteral("audio")).toBool();
        row.VideoWidth = object.value(QStringLiteral("width")).toInt();
        row.VideoHeight = object.value(QStringLiteral("height")).toInt();
        row.VideoCodec = object.value(QStringLiteral("videoCodec")).toString();
        row.AudioCodec = object.value(QStringLiteral("audioCodec")).toString();
        if (object.contains(QStringLiteral("modifiedMs"))) {
            row.Modified = QDateTime::fromMSecsSinceEpoch(
                static_cast<qint64>(object.value(QStringLiteral("modifiedMs")).toDouble()));
        }
        row.RelativeFolder = object.value(QStringLiteral("relativeFolder")).toString();
        rows.append(row);
    }
    return rows;
}

}  // namespace ostrel
