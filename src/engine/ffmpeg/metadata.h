// What a conversion carries from the input to the output besides pictures and sound: the
// container's tags (title, artist, album, track, dates, the recording location of phone
// videos, …), each converted stream's tags (language, track title) and the chapters. The
// muxer writes them in its container's own form (ID3v2, iTunes atoms, Vorbis comments, ASF,
// Matroska tags, RIFF INFO, RealMedia's fields); containers without a place drop them.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

enum class TagPolicy {
    None = 0,
    Keep,   // the input's tags, with this library named as the encoder
    Strip,  // only what the muxer writes of its own (and the encoder's name)
};

// The input's container tags on the output, before its header is written. The input's
// "encoder" and the names of the software that wrote it are not carried: the output names
// this library instead, as the ffmpeg tool does. The recording date is kept.
void CopyContainerTags(const AVFormatContext& input, AVFormatContext& output, TagPolicy policy);

// The input stream's tags (language, title, …) on the output stream, which encoder (its
// name, e.g. "libx264") wrote; null encoder for a copied stream, which keeps its encoder tag.
// A "rotate" tag is never carried: the engine turns pictures upright.
void CopyStreamTags(const AVStream& input, AVStream& output, const AVCodec* encoder,
                    TagPolicy policy);

// The input's chapters on the output, moved by the input's start time (the output starts at
// 0) and trimmed to lengthUs (0: not trimmed); chapters that end before 0 or start at or
// after the end are dropped. False when out of memory.
bool CopyChapters(const AVFormatContext& input, AVFormatContext& output, std::int64_t startUs,
                  std::int64_t lengthUs, TagPolicy policy);

}  // namespace ostrel::engine::ff
