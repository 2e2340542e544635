// The fixed catalogue of output profiles: the menu tree and one entry per leaf.
#pragma once

#include <QString>
#include <QStringList>
#include <span>

namespace ostrel {

// A sub-menu of the profile menu. Its command identifier never executes.
struct ProfileMenu {
    int CommandId;
    const char* CommandName;
    const char* Caption;
    int ParentId;  // 0 for the three top-level sub-menus
};

// One profile. Absent presets are 0 (sizes, channels) or nullptr (texts).
struct ProfileEntry {
    int CommandId;
    const char* CommandName;
    const char* Caption;
    int MenuId;  // the sub-menu that holds the entry
    const char* FormatKey;
    bool AudioOnly;
    int PresetWidth;
    int PresetHeight;
    const char* PresetFrameRate;
    const char* PresetAudioBitrate;
    int PresetChannels;

    bool HasPresetSize() const { return PresetWidth > 0 && PresetHeight > 0; }
};

// Every profile in menu order.
std::span<const ProfileEntry> AllProfiles();
// Every sub-menu in menu order (a parent before its children).
std::span<const ProfileMenu> AllProfileMenus();

// The profile with that command identifier; nullptr for sub-menus and unknown identifiers.
const ProfileEntry* FindProfile(int commandId);
// A profile by command name ("ID_IPHONEHVIDEO"), decimal command id ("1055") or exact caption.
const ProfileEntry* FindProfileByText(const QString& text);
const ProfileMenu* FindProfileMenu(int commandId);

// Captions of the sub-menus above the entry, outermost first.
QStringList MenuPath(const ProfileEntry& entry);

// The output filename extension of a format key ("mp4h264" gives "mp4").
QString ExtensionForFormatKey(const QString& formatKey);

// The video and audio format keys: the first 20 and 11, then the newer codecs' keys.
const QStringList& VideoFormatKeys();
const QStringList& AudioFormatKeys();

}  // namespace ostrel
