#include "cli/cli_request.h"

#include <QRegularExpression>
#include <functional>
#include <map>

#include "profiles/catalogue.h"
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
    return QStringLiteral(
        "Usage:\n"
        "  ostrel-convert --list-profiles\n"
        "  ostrel-convert --profile P [settings...] --output DIR [--dry-run] FILE...\n"
        "\n"
        "P is a command name (ID_IPHONEHVIDEO), a command id (1055) or an exact caption.\n"
        "Settings, applied after the profile in this order:\n"
        "  --video-quality high|normal|low   --audio-quality high|normal|low\n"
        "  --size auto|WxH\n"
        "  --video-bitrate V   --frame-rate F   --aspect W:H   --crop T,B,L,R\n"
        "  --vflip   --hflip   --rotate DEGREES\n"
        "  --audio-bitrate A   --sample-rate HZ   --channels auto|1|2   --remove-audio\n"
        "  --threads N         (default: the number of processors)\n"
        "--dry-run prints input, planned output and option string per file, converting nothing.\n"
        "Exit status: 0 all files converted, 1 some failed, 2 usage error.\n");
}

std::optional<CliRequest> ParseCliArguments(const QStringList& arguments, QString& error) {
    CliRequest request;
    using Setter = std::function<bool(const QString&)>;
    const auto text = [](std::optional<QString>& target) {
        return Setter([&target](const QString& v) {
            target = v;
            return true;
        });
    };
    const auto quality = [](std::optional<int>& target) {
        return Setter([&target](const QString& v) {
            target = ParseQuality(v);
            return target.has_value();
        });
    };
    const std::map<QString, Setter> withValue = {
        {QStringLiteral("--profile"),
         [&](const QString& v) {
             request.Profile = v;
             return true;
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
        {QStringLiteral("--video-bitrate"), text(request.VideoBitrate)},
        {QStringLiteral("--frame-rate"), text(request.FrameRate)},
        {QStringLiteral("--aspect"), text(request.Aspect)},
        {QStringLiteral("--crop"),
         [&](const QString& v) {
             request.Crop = v.split(QLatin1Char(','));
             return request.Crop->size() == 4;
         }},
        {QStringLiteral("--rotate"), text(request.Rotate)},
        {QStringLiteral("--audio-bitrate"), text(request.AudioBitrate)},
        {QStringLiteral("--sample-rate"), text(request.SampleRate)},
        {QStringLiteral("--channels"),
         [&](const QString& v) {
             const QStringList choices = {QStringLiteral("auto"), QStringLiteral("1"),
                                          QStringLiteral("2")};
             request.Channels = static_cast<int>(choices.indexOf(v));
             return *request.Channels >= 0;
         }},
        {QStringLiteral("--threads"),
         [&](const QString& v) {
             bool ok = false;
             request.Threads = v.toInt(&ok);
             return ok && request.Threads >= 1 && request.Threads <= 256;
         }},
    };
    const std::map<QString, bool*> flags = {
        {QStringLiteral("--help"), &request.Help},
        {QStringLiteral("-h"), &request.Help},
        {QStringLiteral("--list-profiles"), &request.ListProfiles},
        {QStringLiteral("--dry-run"), &request.DryRun},
        {QStringLiteral("--vflip"), &request.VerticalFlip},
        {QStringLiteral("--hflip"), &request.HorizontalFlip},
        {QStringLiteral("--remove-audio"), &request.RemoveAudio},
    };

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

    if (request.Help || request.ListProfiles) {
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

    // Grid items in grid order.
    const struct {
        const std::optional<QString>* value;
        GridItem item;
        const char* option;
    } texts[] = {
        {&request.VideoBitrate, GridItem::VideoBitrate, "--video-bitrate"},
        {&request.FrameRate, GridItem::FrameRate, "--frame-rate"},
        {&request.Aspect, GridItem::AspectRatio, "--aspect"},
    };
    for (const auto& t : texts) {
        if (t.value->has_value()) {
            if (QString e = SetGridItem(model, t.item, **t.value, t.option); !e.isEmpty()) {
                return e;
            }
        }
    }
    if (request.Crop) {
        if (QString e = SetGridItem(model, GridItem::CropVideo, true, "--crop"); !e.isEmpty()) {
            return e;
        }
        const GridItem margins[] = {GridItem::CropTop, GridItem::CropBottom, GridItem::CropLeft,
                                    GridItem::CropRight};
        for (int i = 0; i < 4; ++i) {
            if (QString e = SetGridItem(model, margins[i], request.Crop->at(i), "--crop");
                !e.isEmpty()) {
                return e;
            }
        }
    }
    const struct {
        bool set;
        GridItem item;
        const char* option;
    } flips[] = {
        {request.VerticalFlip, GridItem::FlipVertical, "--vflip"},
        {request.HorizontalFlip, GridItem::FlipHorizontal, "--hflip"},
    };
    for (const auto& f : flips) {
        if (f.set) {
            if (QString e = SetGridItem(model, f.item, true, f.option); !e.isEmpty()) {
                return e;
            }
        }
    }
    const struct {
        const std::optional<QString>* value;
        GridItem item;
        const char* option;
    } laterTexts[] = {
        {&request.Rotate, GridItem::Rotate, "--rotate"},
        {&request.AudioBitrate, GridItem::AudioBitrate, "--audio-bitrate"},
        {&request.SampleRate, GridItem::SampleRate, "--sample-rate"},
    };
    for (const auto& t : laterTexts) {
        if (t.value->has_value()) {
            if (QString e = SetGridItem(model, t.item, **t.value, t.option); !e.isEmpty()) {
                return e;
            }
        }
    }
    if (request.Channels) {
        if (QString e = SetGridItem(model, GridItem::Channels, *request.Channels, "--channels");
            !e.isEmpty()) {
            return e;
        }
    }
    if (request.RemoveAudio) {
        if (QString e = SetGridItem(model, GridItem::RemoveAudio, true, "--remove-audio");
            !e.isEmpty()) {
            return e;
        }
    }
    return {};
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
