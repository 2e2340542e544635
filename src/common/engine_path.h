// Paths as they cross to the engine or the operating system, and back: the one conversion
// between a QString and the bytes of a file name. Names that are valid UTF-8 convert exactly as
// QFile::encodeName and QFile::decodeName convert them. A name holding bytes that are not UTF-8
// (a Latin-1 "caf\xe9.avi" from an old disk) keeps each such byte as a lone surrogate
// U+DC80..U+DCFF and gets it back on the way out, so the engine opens the very file the list
// shows. Qt's own file access would turn those into U+FFFD and miss the file: paths that may
// hold such names reach the system only through these functions (see common/file_info.h).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <string>

namespace ostrel {

QByteArray EncodeFileName(const QString& path);
QString DecodeFileName(const QByteArray& bytes);

std::string ToEnginePath(const QString& path);
QString FromEnginePath(const std::string& path);

// The program's arguments, its name first, decoded from the bytes of argv. In place of
// QCoreApplication::arguments(), which loses names that are not UTF-8.
QStringList ArgumentsOf(int argc, const char* const argv[]);

// The local file a "file:" address names, from the bytes its percent-encoding spells (what
// QUrl::toLocalFile would read as UTF-8); empty when the address names no local file.
QString LocalFilePath(const QUrl& url);
// The "file:" address of a local path, its bytes percent-encoded.
QUrl LocalFileUrl(const QString& path);

// An absolute, clean path: a relative one is taken from the current folder.
QString AbsolutePath(const QString& path);

}  // namespace ostrel
