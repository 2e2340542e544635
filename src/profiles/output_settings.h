// The settings record of the format dialog: the chosen profile plus everything the user
// adjusted. Grid values are text; the exact text "Auto" means "not set, let the encoder choose".
#pragma once

#include <QString>

namespace ostrel {

inline const QString kAuto = QStringLiteral("Auto");

// Positions of the quality drop-downs.
enum QualityLevel : int { QualityHigh = 0, QualityNormal = 1, QualityLow = 2 };

// Channel choice of the grid: the number each choice carries.
enum ChannelChoice : int { ChannelsAuto = 0, ChannelsMono = 1, ChannelsStereo = 2 };

// Positions of the Yes/No choices of the grid.
enum YesNoChoice : int { ChoiceYes = 0, ChoiceNo = 1 };

inline constexpr int kSizeIndexAuto = 0;
inline constexpr int kSizeIndexCustom = 15;

struct OutputSettings {
    QString FormatKey = QStringLiteral("mp4h264");
    QString FormatCaption = QStringLiteral("MP4 - H264 Video (*.mp4)");
    bool AudioOnly = false;
    QString Extension = QStringLiteral("mp4");
    int SizeIndex = kSizeIndexAuto;
    QString Width;
    QString Height;
    int VideoQuality = QualityNormal;
    int AudioQuality = QualityNormal;
    QString VideoBitrate = kAuto;
    QString FrameRate = kAuto;
    QString AspectRatio = kAuto;
    bool CropEnabled = false;
    QString CropTop = QStringLiteral("0");
    QString CropBottom = QStringLiteral("0");
    QString CropLeft = QStringLiteral("0");
    QString CropRight = QStringLiteral("0");
    bool FlipVertical = false;
    bool FlipHorizontal = false;
    QString Rotate = QStringLiteral("0");
    QString AudioBitrate = kAuto;
    QString SampleRate = kAuto;
    int Channels = ChannelsAuto;
    bool RemoveAudio = false;
    // Each stream that already fits the output is copied instead of converted.
    bool CopyStreamsThatFit = false;
    // The output's size to aim at, in MB of 1,000,000 bytes; "Auto": none.
    QString TargetFileSize = kAuto;
    QString CpuThreads;
    QString DestinationFolder;
    int KeepFolderStructure = ChoiceYes;  // outputs of a folder's files go to its subfolders
    int KeepFileDate = ChoiceYes;         // outputs get their input's modification time

    bool operator==(const OutputSettings&) const = default;
};

}  // namespace ostrel
