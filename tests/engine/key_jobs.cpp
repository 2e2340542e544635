#include "key_jobs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "engine/ffmpeg/job.h"
#include "engine_fixture.h"
#include "profiles/catalogue.h"
#include "profiles/format_dialog_model.h"

namespace ostrel::engine::testing {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string Section::Tag(const std::string& key) const {
    for (const auto& [name, value] : tags) {
        if (Lower(name) == Lower(key)) {
            return value;
        }
    }
    return "<none>";
}

std::string Section::Field(const std::string& key) const {
    const auto found = fields.find(key);
    return found == fields.end() ? "<none>" : found->second;
}

const Section* TagProbe::First(const std::string& type) const {
    for (const Section& stream : streams) {
        if (stream.Field("codec_type") == type) {
            return &stream;
        }
    }
    return nullptr;
}

int TagProbe::Count(const std::string& type) const {
    int count = 0;
    for (const Section& stream : streams) {
        count += stream.Field("codec_type") == type ? 1 : 0;
    }
    return count;
}

TagProbe ProbeTags(const fs::path& file) {
    TagProbe result;
    const std::string command =
        "ffprobe -v error -show_entries "
        "format_tags:stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels,"
        "start_time:stream_tags:stream_disposition=attached_pic:chapter=start_time,end_time:"
        "chapter_tags -of compact " +
        Quote(file) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::string output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        output += buffer;
    }
    result.ok = pclose(pipe) == 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        Section section;
        std::istringstream parts(line);
        std::string kind;
        std::getline(parts, kind, '|');
        std::string part;
        while (std::getline(parts, part, '|')) {
            const auto equals = part.find('=');
            if (equals == std::string::npos) {
                continue;
            }
            const std::string key = part.substr(0, equals);
            const std::string value = part.substr(equals + 1);
            if (key.rfind("tag:", 0) == 0) {
                section.tags[key.substr(4)] = value;
            } else {
                section.fields[key] = value;
            }
        }
        if (kind == "stream") {
            if (section.Field("disposition:attached_pic") == "1") {
                section.fields["codec_type"] = "attached_pic";
            }
            result.streams.push_back(section);
        } else if (kind == "chapter") {
            result.chapters.push_back(section);
        } else if (kind == "format") {
            result.format = section;
        }
    }
    return result;
}

KeyJob JobFor(const QString& key, const SourceFacts& facts) {
    for (const ProfileEntry& entry : AllProfiles()) {
        if (QLatin1String(entry.FormatKey) == key) {
            FormatDialogModel model(QDir::tempPath(), 2);
            model.ApplyProfile(entry);
            OptionBuilder builder(model.Settings());
            const OptionBuilderResult built = builder.BuildEncoderOptions(facts);
            return {key.toStdString(), built.OutputExtension.toStdString(),
                    built.EncoderOptions.toStdString()};
        }
    }
    ADD_FAILURE() << "no profile for " << key.toStdString();
    return {};
}

std::vector<KeyJob> AllKeyJobs() {
    std::vector<KeyJob> jobs;
    for (const QStringList* keys : {&VideoFormatKeys(), &AudioFormatKeys()}) {
        for (const QString& key : *keys) {
            jobs.push_back(JobFor(key));
        }
    }
    return jobs;
}

std::string OracleCommand(const fs::path& input, const fs::path& output, const KeyJob& job,
                          const TagProbe& ours, const std::string& extra) {
    ff::JobSpec parsed;
    std::string error;
    EXPECT_TRUE(ff::ParseOptions(job.options, ff::InputFacts{25.0}, parsed, error)) << error;
    const auto container = ff::ContainerForOutput(job.extension, parsed.muxer);
    EXPECT_TRUE(container.has_value()) << job.key;
    if (!container) {
        return {};
    }
    std::string command = "ffmpeg -nostdin -v error -y -i " + Quote(input) + " " + extra;
    if (!parsed.muxer.empty()) {
        command += " -f " + parsed.muxer;
    }
    const Section* video = ours.First("video");
    if (video != nullptr) {
        std::string encoder = parsed.videoCodec.empty() ? container->videoCodec : parsed.videoCodec;
        if (encoder == "h263" && video->Field("codec_name") == "mpeg4") {
            encoder = "mpeg4";  // 3gp sizes that h263 cannot take
        }
        command += " -c:v " + ff::ResolveEncoderName(encoder) + " -s " + video->Field("width") +
                   "x" + video->Field("height") + " -r " + video->Field("r_frame_rate");
        // The same encoder settings: quality, speed and tag.
        for (const ff::EncoderOption& option : parsed.videoOptions) {
            command += " -" + option.name + " " + option.value;
        }
        if (parsed.videoBitrate == 0) {
            command += " -b:v 0";
        }
        if (!parsed.constraints.videoTag.empty()) {
            command += " -tag:v " + parsed.constraints.videoTag;
        }
        if (encoder == "libx265") {
            command += " -x265-params log-level=error";
        }
    } else {
        command += " -vn";
    }
    const Section* audio = ours.First("audio");
    if (audio != nullptr) {
        const std::string encoder =
            parsed.audioCodec.empty() ? container->audioCodec : parsed.audioCodec;
        command += " -c:a " + ff::ResolveEncoderName(encoder) + " -ar " +
                   audio->Field("sample_rate") + " -ac " + audio->Field("channels");
    }
    return command + " " + Quote(output);
}

std::vector<TagProbe> ConvertAll(const std::vector<fs::path>& inputs,
                                 const std::vector<fs::path>& outputs,
                                 const std::vector<std::string>& options,
                                 std::chrono::milliseconds timeout) {
    QueueRun run;
    std::vector<int> tasks;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        tasks.push_back(run.Add(inputs[inputs.size() == 1 ? 0 : i], outputs[i], options[i]));
        EXPECT_GE(tasks.back(), 0) << options[i] << ": " << run.encoder->LastError();
    }
    EXPECT_TRUE(run.RunToEnd(2, timeout));
    std::vector<TagProbe> probes;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const FinishedEvent* finished = run.Finished(tasks[i]);
        EXPECT_TRUE(finished != nullptr && finished->success)
            << outputs[i] << ": " << (finished != nullptr ? finished->text : "no event");
        probes.push_back(ProbeTags(outputs[i]));
    }
    return probes;
}

}  // namespace ostrel::engine::testing
