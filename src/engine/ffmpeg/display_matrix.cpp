#include "engine/ffmpeg/display_matrix.h"

extern "C" {
#include <libavutil/display.h>
}

#include <cmath>
#include <cstdint>
#include <utility>

namespace ostrel::engine::ff {
namespace {

const std::int32_t* Matrix(const AVStream* stream) {
    return reinterpret_cast<const std::int32_t*>(
        av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
}

bool QuarterTurn(double degrees) {
    return std::fabs(degrees - 90.0) < 1.0 || std::fabs(degrees - 270.0) < 1.0;
}

std::string Join(const std::string& first, const std::string& second) {
    if (first.empty() || second.empty()) {
        return first + second;
    }
    return first + "," + second;
}

}  // namespace

double NormaliseDegrees(double degrees) {
    double normalised = std::fmod(degrees, 360.0);
    if (normalised < 0.0) {
        normalised += 360.0;
    }
    return normalised;
}

double DisplayRotationDegrees(const AVStream* stream) {
    const std::int32_t* matrix = Matrix(stream);
    if (matrix == nullptr) {
        return 0.0;
    }
    // av_display_rotation_get gives the counter-clockwise angle; turning upright is clockwise.
    const double angle = av_display_rotation_get(matrix);
    if (std::isnan(angle)) {
        return 0.0;
    }
    return NormaliseDegrees(-std::round(angle));
}

PictureSize UprightSize(const AVStream* stream) {
    PictureSize size{stream->codecpar->width, stream->codecpar->height};
    if (QuarterTurn(DisplayRotationDegrees(stream))) {
        std::swap(size.width, size.height);
    }
    return size;
}

AVRational UprightSampleAspect(AVFormatContext* context, AVStream* stream) {
    AVRational sar = av_guess_sample_aspect_ratio(context, stream, nullptr);
    if (sar.num <= 0 || sar.den <= 0) {
        sar = {1, 1};
    }
    return QuarterTurn(DisplayRotationDegrees(stream)) ? av_inv_q(sar) : sar;
}

std::string RotationFilter(double degrees) {
    const double angle = NormaliseDegrees(degrees);
    auto near = [angle](double value) { return std::fabs(angle - value) < 0.01; };
    if (near(0.0) || near(360.0)) {
        return {};
    }
    if (near(90.0)) {
        return "transpose=clock";
    }
    if (near(180.0)) {
        return "hflip,vflip";
    }
    if (near(270.0)) {
        return "transpose=cclock";
    }
    // The rotate filter takes radians.
    const double radians = angle * M_PI / 180.0;
    return Format("rotate=%.10f:ow=ceil(rotw(%.10f)/2)*2:oh=ceil(roth(%.10f)/2)*2", radians,
                  radians, radians);
}

std::string UprightFilter(const AVStream* stream) {
    const std::int32_t* matrix = Matrix(stream);
    if (matrix == nullptr) {
        return {};
    }
    const double degrees = DisplayRotationDegrees(stream);
    // A matrix that also reflects the picture: the ffmpeg tool's choice of filters for each
    // of the eight orientations (the signs of the matrix tell the mirror).
    auto near = [degrees](double value) { return std::fabs(degrees - value) < 1.0; };
    if (near(90.0)) {
        return matrix[3] > 0 ? "transpose=cclock_flip" : "transpose=clock";
    }
    if (near(270.0)) {
        return matrix[3] < 0 ? "transpose=clock_flip" : "transpose=cclock";
    }
    if (near(180.0)) {
        return Join(matrix[0] < 0 ? "hflip" : "", matrix[4] < 0 ? "vflip" : "");
    }
    if (near(0.0) || near(360.0)) {
        return matrix[4] < 0 ? "vflip" : "";
    }
    return RotationFilter(degrees);
}

}  // namespace ostrel::engine::ff
