#include "common/engine_path.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <climits>
#include <vector>

namespace ostrel {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // a byte b that is not UTF-8 becomes U+DC00 + b

bool IsEscapedByte(char16_t unit) {
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at bytes[at], or 0 when there is none: no
// overlong forms, no surrogates, nothing above U+10FFFF.
qsizetype SequenceLength(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    const qsizetype left = bytes.size() - at;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return left >= 2 && IsContinuation(byte(1)) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !IsContinuation(byte(1)) || !IsContinuation(byte(2))) {
            return 0;
        }
        const bool overlong = lead == 0xE0 && byte(1) < 0xA0;
        const bool surrogate = lead == 0xED && byte(1) >= 0xA0;
        return overlong || surrogate ? 0 : 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !IsContinuation(byte(1)) || !IsContinuation(byte(2)) ||
            !IsContinuation(byte(3))) {
            return 0;
        }
        const bool overlong = lead == 0xF0 && byte(1) < 0x90;
        const bool tooLarge = lead == 0xF4 && byte(1) >= 0x90;
        return overlong || tooLarge ? 0 : 4;
    }
    return 0;
}

}  // namespace

QByteArray EncodeFileName(const QString& path) {
    QByteArray bytes;
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path.at(i).unicode();
        const bool paired = i > 0 && QChar::isHighSurrogate(path.at(i - 1).unicode());
        if (IsEscapedByte(unit) && !paired) {
            bytes += QFile::encodeName(path.sliced(plainFrom, i - plainFrom));
            bytes += static_cast<char>(unit - kEscapeBase);
            plainFrom = i + 1;
        }
    }
    if (plainFrom == 0) {
        return QFile::encodeName(path);
    }
    return bytes + QFile::encodeName(path.sliced(plainFrom));
}

QString DecodeFileName(const QByteArray& bytes) {
    QString path;
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = SequenceLength(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        path += QFile::decodeName(bytes.sliced(plainFrom, i - plainFrom));
        path += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        plainFrom = ++i;
    }
    if (plainFrom == 0) {
        return QFile::decodeName(bytes);
    }
    return path + QFile::decodeName(bytes.sliced(plainFrom));
}

std::string ToEnginePath(const QString& path) {
    return EncodeFileName(path).toStdString();
}

QString FromEnginePath(const std::string& path) {
    return DecodeFileName(QByteArray::fromStdString(path));
}

QStringList ArgumentsOf(int argc, const char* const argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(DecodeFileName(QByteArray(argv[i])));
    }
    return arguments;
}

QString LocalFilePath(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    if (!url.host().isEmpty()) {
        return url.toLocalFile();  // a share's "//host/path"
    }
    return DecodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QUrl LocalFileUrl(const QString& path) {
    return QUrl::fromEncoded("file://" + EncodeFileName(path).toPercentEncoding("/"));
}

QString AbsolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) {
        return QDir::cleanPath(path);
    }
    std::vector<char> folder(PATH_MAX);
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + path);
        }
        folder.resize(folder.size() * 2);
    }
    return QDir::cleanPath(DecodeFileName(QByteArray(folder.data())) + QLatin1Char('/') + path);
}

}  // namespace ostrel
