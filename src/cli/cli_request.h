// The headless converter's command line: parsing it, and applying its settings to the format
// dialog's model exactly as a user's changes in the dialog would be applied.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>

#include "profiles/settings_grid.h"

namespace ostrel {

class FormatDialogModel;
struct ProfileEntry;

struct CliRequest {
    bool Help = false;
    bool ListProfiles = false;
    bool DryRun = false;
    bool NoMetadata = false;  // outputs without the inputs' tags, chapters and covers
    bool Verbose = false;     // libav's own messages on standard error
    QString Describe;         // "--describe P": the profile to describe instead of converting
    QString Profile;
    std::optional<int> VideoQuality;
    std::optional<int> AudioQuality;
    std::optional<QString> Size;  // "auto" or "WxH"
    // The grid items given on the command line, in grid order, with their values as given: a
    // bare flag's is empty, a fixed choice's is the choice's own text ("Auto").
    std::map<GridItem, QString> GridValues;
    int Threads = 0;               // 0: the processor count
    bool Recursive = false;        // folders given convert every media file under them
    std::optional<bool> KeepTree;  // --keep-tree / --flat; the grid's default otherwise
    std::optional<bool> KeepDate;  // --keep-date / --no-keep-date
    QString Journal;               // --journal FILE
    int ShardIndex = 0;            // --shard K/N: K from 1 to N; 0 without
    int ShardCount = 0;
    int Nice = -1;    // the conversion threads' niceness; -1: the stored setting
    QString Output;
    QStringList Files;
};

// Parses the arguments after the program name. On a usage error returns nullopt and sets error.
std::optional<CliRequest> ParseCliArguments(const QStringList& arguments, QString& error);

QString CliUsage();

// Whether the file at position index (from 0) of the whole list belongs to the request's share.
bool InShard(const CliRequest& request, int index);

// Applies the profile, then the settings in the dialog's order: the quality levels, the size,
// then the grid items in grid order. Returns an error text when a setting does not apply.
QString ApplyCliSettings(const CliRequest& request, const ProfileEntry& profile,
                         FormatDialogModel& model);

// What a profile is: its caption, menu, format and presets, and for a device profile the
// device's limits, their source and what cannot be met. Empty for an unknown profile.
QStringList ProfileDescription(const ProfileEntry& entry);

// One line per profile in menu order, tab-separated.
QStringList ProfileListing();

}  // namespace ostrel
