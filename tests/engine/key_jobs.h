// Every format key run through the engine, and the ffmpeg tool's command for the same
// conversion (the oracle of the tests that compare our outputs with the tool's).
#pragma once

#include <QString>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "profiles/option_builder.h"

namespace ostrel::engine::testing {

// One stream, chapter or the format as ffprobe lists it: its fields and its tags.
struct Section {
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> tags;
    // A tag by its key in any case ("LOCATION" in Matroska, "location" in MP4); "<none>".
    std::string Tag(const std::string& key) const;
    std::string Field(const std::string& key) const;  // "<none>" when absent
};

struct TagProbe {
    bool ok = false;
    Section format;
    std::vector<Section> streams;  // codec_type "attached_pic" for cover art
    std::vector<Section> chapters;
    const Section* First(const std::string& type) const;
    int Count(const std::string& type) const;
};

// The format, streams (type, codec, size, frame rate, sample rate, channels, start, tags) and
// chapters of a file, by ffprobe.
TagProbe ProbeTags(const std::filesystem::path& file);

// A format key's option string and extension as the option builder makes them, with the
// profile's defaults.
struct KeyJob {
    std::string key;
    std::string extension;
    std::string options;
};

// For a 160x120 file with video and audio unless facts say otherwise.
KeyJob JobFor(const QString& key, const SourceFacts& facts = {true, true, 160, 120});

// Every video key, then every audio key.
std::vector<KeyJob> AllKeyJobs();

// The ffmpeg tool's command for the same conversion: the container and encoders our option
// string names (or the container's defaults), the size, frame rate, sample rate and channels
// our output got, and extra options (by default no subtitles).
std::string OracleCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                          const KeyJob& job, const TagProbe& ours,
                          const std::string& extra = "-sn");

// Our conversions, all in one queue; inputs has one entry for all or one per output. The
// outputs as ProbeTags sees them. timeout bounds the whole queue.
std::vector<TagProbe> ConvertAll(const std::vector<std::filesystem::path>& inputs,
                                 const std::vector<std::filesystem::path>& outputs,
                                 const std::vector<std::string>& options,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(120));

}  // namespace ostrel::engine::testing
