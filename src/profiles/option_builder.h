// Turns the output settings and what probing found out about one file into the encoder's option
// string, the output extension and the output path.
#pragma once

#include <QString>
#include <optional>

#include "profiles/output_settings.h"

namespace ostrel {

// What the builder needs to know about one input file.
struct SourceFacts {
    bool HasVideo = false;
    bool HasAudio = false;
    // The picture size of the video stream, nullopt where it is not known. With neither side
    // known the file is converted without video; a single unknown side keeps the value of the
    // previous file of the run.
    std::optional<int> Width;
    std::optional<int> Height;
};

// What the option builder yields for one file.
struct OptionBuilderResult {
    bool HasVideo = false;
    bool HasAudio = false;
    int SourceWidth = 0;
    int SourceHeight = 0;
    QString OutputExtension;
    QString EncoderOptions;
};

// One builder per conversion run. It keeps what the rules carry from one file of the run
// to the next: the last picture size and pixel count that a file set, and the last target
// width and height that read as numbers.
class OptionBuilder {
  public:
    explicit OptionBuilder(const OutputSettings& settings) : settings_(settings) {}

    OptionBuilderResult BuildEncoderOptions(const SourceFacts& source);

    int PixelCount() const { return pixelCount_; }

  private:
    QString SizePart(const SourceFacts& source);

    OutputSettings settings_;
    int pixelCount_ = 0;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int targetWidth_ = 0;
    int targetHeight_ = 0;
};

struct DeviceLimits;

// What the option string gets after the profile's own options and the device group:
// " -copy_when_fits RULES" when the streams that fit are to be copied (RULES names the values
// the profile chose by itself and the device's limits no other option carries), and
// " -target_size BYTES" for a target file size of a video output.
QString CopyRulesText(const OutputSettings& settings, const DeviceLimits* device);
QString CopyAndSizeGroup(const OutputSettings& settings, const DeviceLimits* device, bool hasVideo);

// The automatic video bit rate ("3388k") for a picture of pixelCount pixels.
QString AutoVideoBitrate(int pixelCount, int baseBitrateKbps, int videoQuality);

// The crop (and scale) filter text, or empty.
QString BuildCropScale(const OutputSettings& settings, bool hasVideo, int sourceWidth,
                       int sourceHeight);

// Empty, or " -vf " followed by the double-quoted filter chain.
QString BuildFilterChain(const OutputSettings& settings, bool hasVideo, int sourceWidth,
                         int sourceHeight);

// The output folder as given, ending in the path separator; blanks are kept.
QString NormaliseOutputFolder(const QString& folderText);

// True for an existing folder that the user can create files in.
bool IsUsableFolder(const QString& folder);

// True when the normalised folder text can take the run's output.
bool IsAcceptedOutputFolder(const QString& normalisedFolder);

// outputFolder (ending in the separator) + base name of the input + "." + extension.
QString OutputPathFor(const QString& outputFolder, const QString& inputPath,
                      const QString& extension);

}  // namespace ostrel
