#include "engine/ffmpeg/metadata.h"

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
}

#include <algorithm>

namespace ostrel::engine::ff {
namespace {

// Removes every entry of a key, whatever its case ("ENCODER" in Matroska, "encoder" in MP4).
void RemoveKey(AVDictionary** dictionary, const char* key) {
    while (av_dict_get(*dictionary, key, nullptr, 0) != nullptr) {
        av_dict_set(dictionary, key, nullptr, 0);
    }
}

// Tags that name the software that wrote the input, not what the file holds.
constexpr const char* kWriterTags[] = {"encoder", "company_name", "product_name",
                                       "product_version"};

}  // namespace

void CopyContainerTags(const AVFormatContext& input, AVFormatContext& output, TagPolicy policy) {
    if (policy == TagPolicy::Keep) {
        av_dict_copy(&output.metadata, input.metadata, AV_DICT_DONT_OVERWRITE);
        for (const char* key : kWriterTags) {
            RemoveKey(&output.metadata, key);
        }
    }
    av_dict_set(&output.metadata, "encoder", LIBAVFORMAT_IDENT, 0);
}

void CopyStreamTags(const AVStream& input, AVStream& output, const AVCodec* encoder,
                    TagPolicy policy) {
    if (policy == TagPolicy::Keep) {
        av_dict_copy(&output.metadata, input.metadata, AV_DICT_DONT_OVERWRITE);
    }
    // The picture is turned upright before it is encoded: a rotation tag of an older file
    // would have players turn it once more.
    RemoveKey(&output.metadata, "rotate");
    if (encoder != nullptr) {
        RemoveKey(&output.metadata, "encoder");
        av_dict_set(&output.metadata, "encoder",
                    (std::string(LIBAVCODEC_IDENT) + " " + encoder->name).c_str(), 0);
    }
}

bool CopyChapters(const AVFormatContext& input, AVFormatContext& output, std::int64_t startUs,
                  std::int64_t lengthUs, TagPolicy policy) {
    if (policy != TagPolicy::Keep || input.nb_chapters == 0) {
        return true;
    }
    const std::int64_t offsetUs = startUs == AV_NOPTS_VALUE ? 0 : startUs;
    for (unsigned i = 0; i < input.nb_chapters; ++i) {
        const AVChapter& chapter = *input.chapters[i];
        const std::int64_t offset = av_rescale_q(offsetUs, AV_TIME_BASE_Q, chapter.time_base);
        const std::int64_t end =
            lengthUs > 0 ? av_rescale_q(lengthUs, AV_TIME_BASE_Q, chapter.time_base) : INT64_MAX;
        const std::int64_t chapterStart = std::max<std::int64_t>(0, chapter.start - offset);
        const std::int64_t chapterEnd = std::min(end, chapter.end - offset);
        if (chapterEnd <= 0 || chapterStart >= end || chapterEnd <= chapterStart) {
            continue;
        }
        auto* copy = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (copy == nullptr) {
            return false;
        }
        copy->id = chapter.id;
        copy->time_base = chapter.time_base;
        copy->start = chapterStart;
        copy->end = chapterEnd;
        auto* grown = static_cast<AVChapter**>(
            av_realloc_array(output.chapters, output.nb_chapters + 1, sizeof(AVChapter*)));
        if (grown == nullptr) {
            av_free(copy);
            return false;
        }
        // The muxer's context owns the chapter from here (freed with the context).
        output.chapters = grown;
        output.chapters[output.nb_chapters++] = copy;
        if (av_dict_copy(&copy->metadata, chapter.metadata, 0) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace ostrel::engine::ff
