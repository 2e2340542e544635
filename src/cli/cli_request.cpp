#include "cli/cli_request.h"

#include "common/decimal_text.h"

#include <QRegularExpression>
#include <functional>
#include <map>

#include "profiles/catalogue.h"
#include "profiles/device_limits.h"
#include "profiles/format_dialog_model.h"

namespace ostrel {
namespace {

std::optional<int> ParseQuality(const QString& text) {
    if (text == QLatin1String("high")) {
        return QualityHigh;
    }
    if (text == QLatin1String("normal")) {
        return QualityNormal;
    }
    if (text == QLatin1String("low")) {
        return QualityLow;
    }
    return std::nullopt;
}

const QString kUsageGap = QStringLiteral("   ");

// The items under a check box, in grid order: what its option's values are for.
QList<GridItem> ChildItems(GridItem parent) {
    QList<GridItem> children;
    for (const GridItemInfo& info : GridItemTable()) {
        if (info.Parent == parent) {
            children.append(info.Item);
        }
    }
    return children;
}

// "--rotate DEGREES", "--vflip", "--channels auto|1|2".
QString UsageEntry(const GridItemInfo& info) {
    QString entry = QLatin1String(info.CliFlag);
    if (info.Kind == GridItemKind::FixedChoice) {
        QStringList choices;
        for (const char* choice : info.Choices) {
            choices.append(QLatin1String(choice).toString().toLower());
        }
        entry += u' ' + choices.join(u'|');
    } else if (info.CliValue != nullptr) {
        entry += u' ' + QLatin1String(info.CliValue);
    }
    return entry;
}

// The value an item's option stores, or nullopt when the option does not take it.
std::optional<QString> GridOptionValue(const GridItemInfo& info, const QString& value) {
    if (info.Item == GridItem::TargetFileSize) {
        // "25M", "25MB" or "25": megabytes of 1,000,000 bytes; "auto" for none.
        QString size = value.trimmed();
        if (size.compare(u"auto", Qt::CaseInsensitive) == 0) {
            return kAuto;
        }
        if (size.endsWith(u"MB", Qt::CaseInsensitive)) {
            size.chop(2);
        } else if (size.endsWith(u'M', Qt::CaseInsensitive)) {
            size.chop(1);
        }
        const std::optional<double> megabytes = ParseDecimal(size);
        return megabytes && *megabytes > 0.0 ? std::optional<QString>(size) : std::nullopt;
    }
    if (info.Kind == GridItemKind::FixedChoice) {
        for (const char* choice : info.Choices) {
            if (value.compare(QLatin1String(choice), Qt::CaseInsensitive) == 0) {
                return QLatin1String(choice).toString();
            }
        }
        return std::nullopt;
    }
    if (info.Kind == GridItemKind::CheckBox &&
        value.count(u',') + 1 != ChildItems(info.Item).size()) {
        return std::nullopt;
    }
    return value;
}

QString OrAuto(const char* text) {
    return text != nullptr ? QLatin1String(text) : kAuto;
}

QString OrAuto(int number) {
    return number > 0 ? QString::number(number) : kAuto;
}

// Sets one grid item as the user would; an item the dialog hides for the profile is an error.
QString SetGridItem(FormatDialogModel& model, GridItem item, const QVariant& value,
                    const char* option) {
    if (!model.Grid().IsItemShown(item)) {
        return QStringLiteral("%1 does not apply to the profile \"%2\"")
            .arg(QLatin1String(option), model.FormatCaption());
    }
    if (!model.Grid().SetValueByUser(item, value)) {
        return QStringLiteral("%1: the value %2 is not accepted")
            .arg(QLatin1String(option), value.toString());
    }
    return {};
}

}  // namespace

QString CliUsage() {
    QString usage = QStringLiteral(
        "Usage:\n"
        "  ostrel-convert --list-profiles\n"
        "  ostrel-convert --describe P\n"
        "  ostrel-convert --profile P [settings...] --output DIR [--no-metadata] [--dry-run] "
        "[--verbose] FILE...\n"
        "\n"
        "P is a command name (ID_IPHONEHVIDEO), a command id (1055) or an exact caption.\n"
        "Settings, applied after the profile in this order:\n"
        "  --video-quality high|normal|low   --audio-quality high|normal|low\n"
        "  --size auto|WxH\n");
    // The grid's settings, a line per category.
    constexpr qsizetype kWidth = 79;
    GridCategory category = GridCategory::None;
    QString line;
    for (const GridItemInfo& info : GridItemTable()) {
        if (info.CliFlag == nullptr) {
            continue;
        }
        const QString entry = UsageEntry(info);
        const bool newLine =
            info.Category != category || line.size() + kUsageGap.size() + entry.size() > kWidth;
        if (newLine && !line.isEmpty()) {
            usage += line + u'\n';
            line.clear();
        }
        line += (line.isEmpty() ? QStringLiteral("  ") : kUsageGap) + entry;
        category = info.Category;
    }
    usage += line + u'\n';
    usage += QStringLiteral(
        "  --threads N         (default: the number of processors)\n"
        "  --recursive         folders given convert every media file under them\n"
        "  --keep-tree|--flat  outputs in the inputs' subfolders (default: --keep-tree)\n"
        "  --keep-date|--no-keep-date  outputs get their input's date (the default)\n"
        "  --journal FILE      a rerun with the same FILE converts only what is not done\n"
        "  --shard K/N         convert only the K-th of N shares of the file list\n"
        "  --nice N            niceness 0..19 of the conversion's threads (default: the\n"
        "                      window's setting, 10)\n"
        "--no-metadata leaves the files' tags, chapters and covers behind (clean files).\n"
        "--dry-run prints input, planned output and option string per file, converting nothing.\n"
        "--describe prints a profile's presets and, for a device profile, the device's limits\n"
        "and where they were published.\n"
        "--verbose shows the media libraries' own messages.\n"
        "Exit status: 0 all files converted, 1 some failed, 2 usage error,\n"
        "128+N stopped by signal N (130 after Ctrl+C).\n");
    return usage;
}

std::optional<CliRequest> ParseCliArguments(const QStringList& arguments, QString& error) {
    CliRequest request;
    using Setter = std::function<bool(const QString&)>;
    const auto quality = [](std::optional<int>& target) {
        return Setter([&target](const QString& v) {
            target = ParseQuality(v);
            return target.has_value();
        });
    };
    std::map<QString, Setter> withValue = {
        {QStringLiteral("--profile"),
         [&](const QString& v) {
             request.Profile = v;
             return true;
         }},
        {QStringLiteral("--describe"),
         [&](const QString& v) {
             request.Describe = v;
             return !v.isEmpty();
         }},
        {QStringLiteral("--output"),
         [&](const QString& v) {
             request.Output = v;
             return true;
         }},
        {QStringLiteral("--video-quality"), quality(request.VideoQuality)},
        {QStringLiteral("--audio-quality"), quality(request.AudioQuality)},
        {QStringLiteral("--size"),
         [&](const QString& v) {
             static const QRegularExpression size(QStringLiteral("^\\d+x\\d+$"));
             request.Size = v;
             return v == QLatin1String("auto") || size.match(v).hasMatch();
         }},
        {QStringLiteral("--journal"),
         [&](const QString& v) {
             request.Journal = v;
             return !v.isEmpty();
         }},
        {QStringLiteral("--shard"),
         [&](const QString& v) {
             static const QRegularExpression shard(QStringLiteral("^(\\d+)/(\\d+)$"));
             const QRegularExpressionMatch match = shard.match(v);
             request.ShardIndex = match.captured(1).toInt();
             request.ShardCount = match.captured(2).toInt();
             return match.hasMatch() && request.ShardCount >= 1 && request.ShardIndex >= 1 &&
                    request.ShardIndex <= request.ShardCount;
         }},
        {QStringLiteral("--threads"),
         [&](const QString& v) {
             bool ok = false;
             request.Threads = v.toInt(&ok);
             return ok && request.Threads >= 1 && request.Threads <= 256;
         }},
        {QStringLiteral("--nice"),
         [&](const QString& v) {
             bool ok = false;
             request.Nice = v.toInt(&ok);
             return ok && request.Nice >= 0 && request.Nice <= 19;
         }},
    };
    std::map<QString, bool*> flags = {
        {QStringLiteral("--help"), &request.Help},
        {QStringLiteral("-h"), &request.Help},
        {QStringLiteral("--list-profiles"), &request.ListProfiles},
        {QStringLiteral("--dry-run"), &request.DryRun},
        {QStringLiteral("--no-metadata"), &request.NoMetadata},
        {QStringLiteral("--verbose"), &request.Verbose},
        {QStringLiteral("--recursive"), &request.Recursive},
    };
    const std::map<QString, std::pair<std::optional<bool>*, bool>> choices = {
        {QStringLiteral("--keep-tree"), {&request.KeepTree, true}},
        {QStringLiteral("--flat"), {&request.KeepTree, false}},
        {QStringLiteral("--keep-date"), {&request.KeepDate, true}},
        {QStringLiteral("--no-keep-date"), {&request.KeepDate, false}},
    };
    std::map<QString, GridItem> gridFlags;
    for (const GridItemInfo& info : GridItemTable()) {
        if (info.CliFlag == nullptr) {
            continue;
        }
        const GridItem item = info.Item;
        if (info.Kind == GridItemKind::CheckBox && info.CliValue == nullptr) {
            gridFlags.emplace(QLatin1String(info.CliFlag), item);
            continue;
        }
        withValue.emplace(QLatin1String(info.CliFlag), [&request, &info, item](const QString& v) {
            const std::optional<QString> value = GridOptionValue(info, v);
            if (value) {
                request.GridValues[item] = *value;
            }
            return value.has_value();
        });
    }

    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) ||
            argument == QLatin1String("-")) {
            request.Files.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        std::optional<QString> inlineValue;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('=')); equals > 0) {
            inlineValue = argument.mid(equals + 1);
            argument = argument.left(equals);
        }
        if (const auto flag = flags.find(argument); flag != flags.end() && !inlineValue) {
            *flag->second = true;
            continue;
        }
        if (const auto choice = choices.find(argument); choice != choices.end() && !inlineValue) {
            *choice->second.first = choice->second.second;
            continue;
        }
        if (const auto flag = gridFlags.find(argument); flag != gridFlags.end() && !inlineValue) {
            request.GridValues[flag->second] = QString();
            continue;
        }
        const auto option = withValue.find(argument);
        if (option == withValue.end()) {
            error = QStringLiteral("unknown option %1").arg(arguments.at(i));
            return std::nullopt;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(argument);
                return std::nullopt;
            }
            inlineValue = arguments.at(++i);
        }
        if (!option->second(*inlineValue)) {
            error = QStringLiteral("%1: bad value \"%2\"").arg(argument, *inlineValue);
            return std::nullopt;
        }
    }

    if (request.Help || request.ListProfiles || !request.Describe.isEmpty()) {
        return request;
    }
    if (request.Profile.isEmpty()) {
        error = QStringLiteral("--profile is required");
        return std::nullopt;
    }
    if (request.Output.isEmpty()) {
        error = QStringLiteral("--output is required");
        return std::nullopt;
    }
    if (request.Files.isEmpty()) {
        error = QStringLiteral("no input files given");
        return std::nullopt;
    }
    return request;
}

bool InShard(const CliRequest& request, int index) {
    return request.ShardCount <= 1 || index % request.ShardCount == request.ShardIndex - 1;
}

QString ApplyCliSettings(const CliRequest& request, const ProfileEntry& profile,
                         FormatDialogModel& model) {
    model.ApplyProfile(profile);
    const QString caption = model.FormatCaption();
    const auto notForProfile = [&](const char* option) {
        return QStringLiteral("%1 does not apply to the profile \"%2\"")
            .arg(QLatin1String(option), caption);
    };

    if (request.VideoQuality && !model.SelectVideoQuality(*request.VideoQuality)) {
        return notForProfile("--video-quality");
    }
    if (request.AudioQuality && !model.SelectAudioQuality(*request.AudioQuality)) {
        return notForProfile("--audio-quality");
    }
    if (request.Size) {
        if (*request.Size == QLatin1String("auto")) {
            if (!model.SelectSize(kSizeIndexAuto)) {
                return notForProfile("--size");
            }
        } else {
            const QStringList parts = request.Size->split(QLatin1Char('x'));
            if (!model.SelectSize(kSizeIndexCustom)) {
                return notForProfile("--size");
            }
            model.SetWidthText(parts.at(0));
            model.LeaveWidth();
            model.SetHeightText(parts.at(1));
            model.LeaveHeight();
        }
    }

    const auto yesNo = [](bool yes) { return yes ? ChoiceYes : ChoiceNo; };
    if (request.KeepTree) {
        model.Grid().SetValue(GridItem::KeepFolderStructure, yesNo(*request.KeepTree));
    }
    if (request.KeepDate) {
        model.Grid().SetValue(GridItem::KeepFileDate, yesNo(*request.KeepDate));
    }

    for (const auto& [item, value] : request.GridValues) {
        const GridItemInfo& info = InfoOf(item);
        const QVariant given = info.Kind == GridItemKind::CheckBox ? QVariant(true) : value;
        if (QString e = SetGridItem(model, item, given, info.CliFlag); !e.isEmpty()) {
            return e;
        }
        // A check box's values go to its children in order.
        const QList<GridItem> children = ChildItems(item);
        const QStringList values = value.split(u',');
        for (qsizetype i = 0; i < children.size(); ++i) {
            if (QString e = SetGridItem(model, children[i], values.value(i), info.CliFlag);
                !e.isEmpty()) {
                return e;
            }
        }
    }
    return {};
}

QStringList ProfileDescription(const ProfileEntry& entry) {
    const QString key = QLatin1String(entry.FormatKey);
    QStringList lines{
        QStringLiteral("Profile: %1 (%2, %3)")
            .arg(QString::fromUtf8(entry.Caption), QLatin1String(entry.CommandName))
            .arg(entry.CommandId),
        QStringLiteral("Menu: ") + MenuPath(entry).join(QStringLiteral(" > ")),
        QStringLiteral("Format: %1 (.%2)").arg(key, ExtensionForFormatKey(key)),
        QStringLiteral("Presets: size %1, frame rate %2, audio bit rate %3, channels %4")
            .arg(entry.HasPresetSize()
                     ? QStringLiteral("%1x%2").arg(entry.PresetWidth).arg(entry.PresetHeight)
                     : QStringLiteral("Auto"),
                 OrAuto(entry.PresetFrameRate), OrAuto(entry.PresetAudioBitrate),
                 OrAuto(entry.PresetChannels))};
    const DeviceLimits* device = FindDeviceLimits(entry.CommandId);
    if (device == nullptr) {
        lines << QStringLiteral("Device limits: none (a general format)");
        return lines;
    }
    lines << DeviceDescription(*device);
    const QString group = DeviceOptionGroup(*device).trimmed();
    lines << QStringLiteral("Options added for the device: ") +
                 (group.isEmpty() ? QStringLiteral("none") : group);
    return lines;
}

QStringList ProfileListing() {
    QStringList lines;
    for (const ProfileEntry& entry : AllProfiles()) {
        const QString key = QLatin1String(entry.FormatKey);
        lines.append(QStringList{QString::number(entry.CommandId), QLatin1String(entry.CommandName),
                                 MenuPath(entry).join(QStringLiteral(" > ")),
                                 QString::fromUtf8(entry.Caption), key, ExtensionForFormatKey(key),
                                 OrAuto(entry.PresetWidth), OrAuto(entry.PresetHeight),
                                 OrAuto(entry.PresetFrameRate), OrAuto(entry.PresetAudioBitrate),
                                 OrAuto(entry.PresetChannels)}
                         .join(QLatin1Char('\t')));
    }
    return lines;
}

}  // namespace ostrel
