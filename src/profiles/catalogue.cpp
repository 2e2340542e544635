#include "profiles/catalogue.h"

#include <QtGlobal>
#include <algorithm>
#include <array>

namespace ostrel {
namespace {

constexpr ProfileMenu kMenus[] = {
    {1020, "ID_CATEGORYA", QT_TRANSLATE_NOOP("ostrel::Catalogue", "General Audio Format"), 0},
    {1183, "ID_CATEGORYC", QT_TRANSLATE_NOOP("ostrel::Catalogue", "General Video Format"), 0},
    {1021, "ID_CATEGORYB", QT_TRANSLATE_NOOP("ostrel::Catalogue", "Device"), 0},
    {1081, "ID_ANDROID", "Android", 1021},
    {1094, "ID_ANDROIDPAD", "Android Pad", 1021},
    {1072, "ID_APPLETV", "Apple TV", 1021},
    {1076, "ID_IPAD", "iPad", 1021},
    {1054, "ID_IPHONE", "iPhone", 1021},
    {1060, "ID_IPOD", "iPod", 1021},
    {1099, "ID_BLACKBERRY", "BlackBerry", 1021},
    {1154, "ID_HDVIDEO", QT_TRANSLATE_NOOP("ostrel::Catalogue", "HD Video"), 1021},
    {1139, "ID_PMP", "PMP", 1021},
    {1123, "ID_PS", "PS3", 1021},
    {1118, "ID_PSP", "PSP", 1021},
    {1178, "ID_VCDDVD", "VCD/DVD", 1021},
    {1164, "ID_WEBVIDEO", QT_TRANSLATE_NOOP("ostrel::Catalogue", "Web Video"), 1021},
    {1114, "ID_WINDOWSPHONE", "Windows Phone", 1021},
    {1130, "ID_XBOX", "Xbox", 1021},
};

constexpr ProfileEntry kProfiles[] = {
#include "profiles/catalogue_data.inc"
};

}  // namespace

std::span<const ProfileEntry> AllProfiles() {
    return kProfiles;
}

std::span<const ProfileMenu> AllProfileMenus() {
    return kMenus;
}

const ProfileEntry* FindProfile(int commandId) {
    const auto it = std::ranges::find(kProfiles, commandId, &ProfileEntry::CommandId);
    return it == std::end(kProfiles) ? nullptr : &*it;
}

const ProfileEntry* FindProfileByText(const QString& text) {
    bool isNumber = false;
    const int id = text.toInt(&isNumber);
    if (isNumber) {
        return FindProfile(id);
    }
    for (const ProfileEntry& entry : kProfiles) {
        if (text == QLatin1String(entry.CommandName) || text == QString::fromUtf8(entry.Caption)) {
            return &entry;
        }
    }
    return nullptr;
}

const ProfileMenu* FindProfileMenu(int commandId) {
    const auto it = std::ranges::find(kMenus, commandId, &ProfileMenu::CommandId);
    return it == std::end(kMenus) ? nullptr : &*it;
}

QStringList MenuPath(const ProfileEntry& entry) {
    QStringList path;
    for (const ProfileMenu* menu = FindProfileMenu(entry.MenuId); menu != nullptr;
         menu = FindProfileMenu(menu->ParentId)) {
        path.prepend(QString::fromUtf8(menu->Caption));
    }
    return path;
}

QString ExtensionForFormatKey(const QString& formatKey) {
    static const QStringList mp4Keys = {QStringLiteral("mp4h264"), QStringLiteral("mp4hevc"),
                                        QStringLiteral("mp4av1")};
    if (mp4Keys.contains(formatKey)) {
        return QStringLiteral("mp4");
    }
    if (formatKey == QLatin1String("mkvhevc")) {
        return QStringLiteral("mkv");
    }
    if (formatKey == QLatin1String("webmav1") || formatKey == QLatin1String("webmvp9")) {
        return QStringLiteral("webm");
    }
    if (formatKey == QLatin1String("alac")) {
        return QStringLiteral("m4a");
    }
    static const QStringList mpegKeys = {QStringLiteral("mpg2"), QStringLiteral("ntsc-dvd"),
                                         QStringLiteral("pal-dvd"), QStringLiteral("ntsc-vcd"),
                                         QStringLiteral("pal-vcd")};
    if (mpegKeys.contains(formatKey)) {
        return QStringLiteral("mpg");
    }
    return formatKey;
}

const QStringList& VideoFormatKeys() {
    static const QStringList keys = {"flv", "f4v", "mkv", "mp4", "mp4h264", "mov", "vob", "asf",
                                     "wmv", "avi", "3gp", "mpg", "mpg2", "swf", "rm", "webm",
                                     "ntsc-vcd", "pal-vcd", "ntsc-dvd", "pal-dvd",
                                     // Added after the first 20: H.265, AV1 and VP9.
                                     "mp4hevc", "mkvhevc", "mp4av1", "webmav1", "webmvp9"};
    return keys;
}

const QStringList& AudioFormatKeys() {
    static const QStringList keys = {"mp2", "mp3", "aac", "aiff", "ac3", "flac", "m4a", "ogg", "ra",
                                     "wav", "wma",
                                     // Added after the first 11.
                                     "opus", "alac"};
    return keys;
}

}  // namespace ostrel
