// What a stream's display matrix asks of its pictures: the turn that brings them upright, the
// mirror, the size as shown and the filters that do it. The conversion and the preview both
// use these, so a clip previews as it converts.
#pragma once

#include <string>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

// An angle in degrees brought into [0, 360).
double NormaliseDegrees(double degrees);

// The clockwise rotation in degrees [0, 360) that turns a stream upright, from its display
// matrix; 0 when there is none.
double DisplayRotationDegrees(const AVStream* stream);

// The picture size as shown: width and height swapped for a stream turned by 90 or 270 degrees.
PictureSize UprightSize(const AVStream* stream);

// The sample aspect ratio of the upright picture (inverted by a quarter turn); 1:1 when unknown.
AVRational UprightSampleAspect(AVFormatContext* context, AVStream* stream);

// The chain that turns a picture clockwise by degrees: exact transposes and flips for right
// angles, else the rotate filter with an output size rounded up to even numbers.
std::string RotationFilter(double degrees);
// The filters that show a stream as its display matrix asks: turned upright, and mirrored when
// the matrix reflects the picture; empty when it needs none.
std::string UprightFilter(const AVStream* stream);

}  // namespace ostrel::engine::ff
