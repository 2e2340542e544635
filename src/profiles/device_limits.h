// What each device profile's device plays: codec, profile, level, picture, rates and sound, with
// where those limits were published. One row per profile of the "Device" menu.
#pragma once

#include <QString>
#include <QStringList>
#include <span>

#include "engine/codec_levels.h"

namespace ostrel {

enum class DeviceVideoCodec : int {
    None = 0,
    H264,
    Mpeg4Part2,
    H263,
    Mpeg1,
    Mpeg2,
    Wmv,  // Windows Media Video 7, 8 or 9, whichever the row's note names
    RealVideo,
    H265,
};

// The highest codec profile the device decodes; the option builder asks for exactly this one.
enum class DeviceCodecProfile : int {
    Any = 0,  // no profile is asked for
    H264Baseline,
    H264Main,
    H264High,
    Mpeg4Simple,
    Mpeg4AdvancedSimple,
    HevcMain,    // 8-bit: the builder asks for 8-bit 4:2:0 pictures
    HevcMain10,  // 8-bit or 10-bit: the source's depth is kept
};

enum class DeviceSourceKind : int {
    NoSource = 0,  // no published source was found: the limits are the device family's
    Vendor,        // the vendor's own page or manual
    VendorQuoted,  // the vendor's published figures, as quoted on another page
    ThirdParty,    // a description by others, the best found
    Standard,      // a disc or codec standard
    Service,       // a web service's published upload recommendations
};

struct DeviceLimits {
    int CommandId;       // the catalogue profile
    const char* Device;  // the device the caption names, oldest generation it covers
    DeviceVideoCodec Codec;
    DeviceCodecProfile Profile;
    int Level;  // H.264, H.265: level x 10 (30 is 3.0); MPEG-4 Part 2: the highest level; 0: none
    int MaxWidth;
    int MaxHeight;
    int MaxFrameMbs;     // macroblocks per picture where the device limits them apart from size
    int MaxMbPerSecond;  // macroblocks per second where the device limits them; 0: the level's
    int MaxFrameRate;    // frames per second
    int MaxVideoKbps;    // the highest video bit rate (kbit/s)
    int BufferKbit;      // the decoder's buffer; 0: the level's
    bool BFrames;        // B-frames allowed
    bool Cabac;          // CABAC allowed (H.264)
    int MaxRefs;         // reference frames; 0: as many as the level's picture buffer holds
    const char* Audio;   // the audio codec the device plays in this container
    int MinSampleRate;   // 0: any; DVD-Video takes 48 kHz only
    int MaxSampleRate;
    int MaxChannels;
    int MaxAudioKbps;
    DeviceSourceKind SourceKind;
    const char* SourceName;  // the page by name; for None the family whose limits are used
    const char* SourceUrl;   // nullptr for None and Standard
    // What the engine cannot meet (a codec FFmpeg 5.1 does not encode); nullptr when all holds.
    const char* Unmet;
};

std::span<const DeviceLimits> AllDeviceLimits();
const DeviceLimits* FindDeviceLimits(int commandId);

// H.264 level facts for a level x 10; nullptr for an unknown level.
using H264LevelLimits = codec::H264Level;
const H264LevelLimits* FindH264Level(int level);

// The highest video bit rate (kbit/s) and the decoder's buffer (kbit): the row's, else its
// H.264 level's; 0 when the device sets no limit.
int DeviceVideoKbps(const DeviceLimits& row);
int DeviceBufferKbit(const DeviceLimits& row);

// "H.264 Baseline 3.0", "MPEG-4 Part 2 Simple", "WMV".
QString DeviceCodecText(const DeviceLimits& row);
// "3.0" for 30.
QString H264LevelText(int level);

// The one-line summary: "Plays on iPod (5th generation): H.264 Baseline 3.0, up to 640x480,
// 1.5 Mbit/s".
QString DeviceSummary(const DeviceLimits& row);
// Every limit and the source, one fact a line.
QStringList DeviceDescription(const DeviceLimits& row);

// The option group the builder appends for the device: the codec profile, level, rate control
// and coding tools the device takes. Empty where the row asks for none.
QString DeviceOptionGroup(const DeviceLimits& row);

// The largest size, even and keeping the aspect of width x height, that the device takes at
// frameRate (0: unknown); width x height itself when it fits.
struct FittedSize {
    int Width;
    int Height;
};
FittedSize FitToDevice(const DeviceLimits& row, int width, int height, double frameRate);

}  // namespace ostrel
