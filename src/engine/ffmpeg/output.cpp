#include "engine/ffmpeg/output.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace ostrel::engine::ff {
namespace {

int InterruptCallback(void* opaque) {
    return static_cast<const std::stop_token*>(opaque)->stop_requested() ? 1 : 0;
}

// Muxers are told at most this much delay between their streams (µs), as the ffmpeg tool does.
constexpr int kMaxMuxDelayUs = 700000;
// The longest file name the usual Linux file systems take, in bytes.
constexpr std::size_t kNameMax = 255;
constexpr const char* kTemporaryMark = ".ostrel-tmp-";
constexpr std::size_t kRandomDigits = 8;
constexpr int kCreateAttempts = 16;
constexpr int kMaxNameNumber = 10000;
// Written in blocks of this size, as the ffmpeg tool writes files: the muxer asks for a flush
// after every packet, and without a minimum each packet would be a system call of its own.
constexpr int kSinkBufferBytes = 256 * 1024;
// Written data is handed to the disk in steps of this size while the file is written, so that
// the flush before the rename waits only for the last step instead of the whole file.
constexpr std::int64_t kWritebackStepBytes = 2 * 1024 * 1024;

std::string RandomHex() {
    unsigned char bytes[kRandomDigits / 2] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy to be had: a counter keeps names apart; O_EXCL keeps the file ours.
        static std::atomic<unsigned> counter{0};
        const unsigned value = counter.fetch_add(1) ^ static_cast<unsigned>(getpid());
        std::memcpy(bytes, &value, sizeof bytes);
    }
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

// The first count bytes of text, not cutting a UTF-8 character in two.
std::string Prefix(const std::string& text, std::size_t count) {
    if (text.size() <= count) {
        return text;
    }
    while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) {
        --count;
    }
    return text.substr(0, count);
}

bool IsUnsupported(int code) {
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP ||
           code == EPERM;
}

// Moves from to to unless to exists. 0, EEXIST, or the error number.
int MoveIfFree(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno == EEXIST || !IsUnsupported(errno)) {
        return errno;
    }
    // File systems without the flag (NFS, some FUSE ones): a hard link cannot replace either.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST || !IsUnsupported(errno)) {
        return errno;
    }
    // Neither: look first. Only a file made in the instant between look and rename is lost.
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0) {
        return EEXIST;
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

// The temporary file as the muxer's AVIOContext: positioned writes on our own descriptor.
struct Output::FileSink {
    int fd = -1;
    std::int64_t position = 0;
    std::int64_t writebackFrom = 0;  // where the data not yet handed to the disk starts
    std::stop_token stop;

    // Starts the disk's writing of what came since the last step, without waiting for it. A
    // hint only: the flush before the rename is what makes the file durable.
    void StartWriteback() {
        if (position - writebackFrom >= kWritebackStepBytes) {
            sync_file_range(fd, writebackFrom, position - writebackFrom, SYNC_FILE_RANGE_WRITE);
            writebackFrom = position;
        }
    }

    static int Write(void* opaque, std::uint8_t* data, int size) {
        auto* sink = static_cast<FileSink*>(opaque);
        if (sink->stop.stop_requested()) {
            return AVERROR_EXIT;
        }
        int done = 0;
        while (done < size) {
            const ssize_t n = pwrite(sink->fd, data + done, static_cast<std::size_t>(size - done),
                                     sink->position);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return AVERROR(n < 0 ? errno : EIO);
            }
            done += static_cast<int>(n);
            sink->position += n;
        }
        sink->StartWriteback();
        return size;
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        auto* sink = static_cast<FileSink*>(opaque);
        struct stat info {};
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return fstat(sink->fd, &info) == 0 ? info.st_size : AVERROR(errno);
            case SEEK_SET:
                break;
            case SEEK_CUR:
                offset += sink->position;
                break;
            case SEEK_END:
                if (fstat(sink->fd, &info) != 0) {
                    return AVERROR(errno);
                }
                offset += info.st_size;
                break;
            default:
                return AVERROR(EINVAL);
        }
        if (offset < 0) {
            return AVERROR(EINVAL);
        }
        sink->position = offset;
        return offset;
    }
};

Output::Output(std::string path, std::stop_token stop)
    : path_(std::move(path)), stop_(std::move(stop)) {}

Output::~Output() {
    std::string ignored;
    CloseFile(false, ignored);
    context_.reset();
    if (!committed_ && !temporaryPath_.empty()) {
        unlink(temporaryPath_.c_str());
    }
}

bool Output::Create(const std::string& muxer, std::string& error) {
    AVFormatContext* context = nullptr;
    // The name only tells muxers the extension; the file itself is opened by Open.
    const int ret = avformat_alloc_output_context2(&context, nullptr, muxer.c_str(), path_.c_str());
    if (ret < 0 || context == nullptr) {
        error = "Cannot use the output format " + muxer + ": " + ErrorText(ret);
        return false;
    }
    context_.reset(context);
    context_->interrupt_callback = {InterruptCallback, &stop_};
    context_->max_delay = kMaxMuxDelayUs;
    return true;
}

bool Output::NeedsGlobalHeader() const {
    return (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

AVStream* Output::AddStream(const AVCodecContext& encoder, std::string& error) {
    AVStream* stream = avformat_new_stream(context_.get(), nullptr);
    if (stream == nullptr) {
        error = "Out of memory";
        return nullptr;
    }
    const int ret = avcodec_parameters_from_context(stream->codecpar, &encoder);
    if (ret < 0) {
        error = "Cannot set up the output stream: " + ErrorText(ret);
        return nullptr;
    }
    stream->time_base = encoder.time_base;
    // The encoder's buffer properties tell muxers such as MPEG-PS their rates and sizes.
    for (int i = 0; i < encoder.nb_coded_side_data; ++i) {
        const AVPacketSideData& data = encoder.coded_side_data[i];
        std::uint8_t* copy = av_stream_new_side_data(stream, data.type, data.size);
        if (copy == nullptr) {
            error = "Out of memory";
            return nullptr;
        }
        std::memcpy(copy, data.data, data.size);
    }
    if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
        stream->sample_aspect_ratio = encoder.sample_aspect_ratio;
        stream->avg_frame_rate = encoder.framerate;
    }
    return stream;
}

bool Output::CreateTemporaryFile(std::string& error) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string candidate = TemporaryPathFor(path_, RandomHex());
        const int fd =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporaryPath_ = candidate;
            sink_ = std::make_unique<FileSink>();
            sink_->fd = fd;
            sink_->stop = stop_;
            return true;
        }
        if (errno != EEXIST) {
            error = "Cannot create the output file: " + ErrorText(AVERROR(errno));
            return false;
        }
    }
    error = "Cannot create the output file: " + ErrorText(AVERROR(EEXIST));
    return false;
}

bool Output::Open(const TargetSettings& target, std::string& error) {
    Dictionary muxerOptions;
    if (target.set) {
        context_->packet_size = static_cast<unsigned>(target.packetSize);
        muxerOptions.Set("muxrate", std::to_string(target.muxRate));
        if (target.preloadSeconds > 0.0) {
            muxerOptions.Set("preload", std::to_string(std::llround(target.preloadSeconds * 1e6)));
        }
    }
    if (!(context_->oformat->flags & AVFMT_NOFILE)) {
        if (!CreateTemporaryFile(error)) {
            return false;
        }
        auto* buffer = static_cast<unsigned char*>(av_malloc(kSinkBufferBytes));
        AVIOContext* pb = buffer == nullptr
                              ? nullptr
                              : avio_alloc_context(buffer, kSinkBufferBytes, 1, sink_.get(),
                                                   nullptr, &FileSink::Write, &FileSink::Seek);
        if (pb == nullptr) {
            av_free(buffer);
            error = "Out of memory";
            return false;
        }
        pb->min_packet_size = kSinkBufferBytes;
        context_->pb = pb;
        context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    const int ret = avformat_write_header(context_.get(), muxerOptions.Address());
    if (ret < 0) {
        error = "Cannot write the output file's header: " + ErrorText(ret);
        return false;
    }
    return true;
}

bool Output::Write(AVPacket* packet, AVRational encoderTimeBase, const AVStream& stream,
                   std::string& error) {
    packet->stream_index = stream.index;
    // Video encoders leave the duration out; a frame lasts one frame period, as in the ffmpeg
    // tool, so the last picture counts and muxers know when the stream ends.
    if (packet->duration <= 0 && stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0) {
        packet->duration = av_rescale_q(1, av_inv_q(stream.avg_frame_rate), encoderTimeBase);
    }
    av_packet_rescale_ts(packet, encoderTimeBase, stream.time_base);
    if (packetsWritten_.size() <= static_cast<std::size_t>(stream.index)) {
        packetsWritten_.resize(static_cast<std::size_t>(stream.index) + 1, 0);
    }
    ++packetsWritten_[static_cast<std::size_t>(stream.index)];
    if (packet->pts != AV_NOPTS_VALUE) {
        const std::int64_t endUs =
            av_rescale_q(packet->pts + std::max<std::int64_t>(packet->duration, 0),
                         stream.time_base, AV_TIME_BASE_Q);
        positionUs_ = std::max(positionUs_, endUs);
    }
    const int ret = av_interleaved_write_frame(context_.get(), packet);
    if (ret < 0) {
        error = "Cannot write the output file: " + ErrorText(ret);
        return false;
    }
    return true;
}

std::int64_t Output::PacketsWritten(int streamIndex) const {
    return streamIndex >= 0 && static_cast<std::size_t>(streamIndex) < packetsWritten_.size()
               ? packetsWritten_[static_cast<std::size_t>(streamIndex)]
               : 0;
}

// Flushes and frees the muxer's AVIOContext and closes the descriptor, with what went wrong.
bool Output::CloseFile(bool sync, std::string& error) {
    int ret = 0;
    if (context_ && context_->pb != nullptr && (context_->flags & AVFMT_FLAG_CUSTOM_IO)) {
        AVIOContext* pb = context_->pb;
        avio_flush(pb);
        ret = pb->error;
        av_freep(&pb->buffer);
        avio_context_free(&pb);
        context_->pb = nullptr;
    }
    if (sink_) {
        // The data is on the disk before the file gets its name.
        if (sync && ret >= 0 && fdatasync(sink_->fd) != 0 && errno != EINVAL && errno != EROFS) {
            ret = AVERROR(errno);
        }
        if (close(sink_->fd) != 0 && ret >= 0 && errno != EINTR) {
            ret = AVERROR(errno);
        }
        sink_.reset();
    }
    if (ret < 0) {
        error = "Cannot finish the output file: " + ErrorText(ret);
        return false;
    }
    return true;
}

bool Output::Finish(std::string& error) {
    const int ret = av_write_trailer(context_.get());
    if (ret < 0) {
        error = "Cannot finish the output file: " + ErrorText(ret);
        return false;
    }
    if (!CloseFile(true, error)) {
        return false;
    }
    context_.reset();
    return true;
}

bool Output::Commit(std::string& error) {
    if (temporaryPath_.empty()) {
        // A muxer that writes no file of its own has nothing to name.
        writtenPath_ = path_;
        committed_ = true;
        return true;
    }
    writtenPath_ = RenameWithoutReplacing(temporaryPath_, path_, error);
    if (writtenPath_.empty()) {
        return false;
    }
    committed_ = true;
    return true;
}

std::string TemporaryPathFor(const std::string& outputPath, const std::string& randomPart) {
    const std::filesystem::path path(outputPath);
    const std::string extension = path.extension().string();
    const std::string tail =
        kTemporaryMark + std::to_string(static_cast<long>(getpid())) + "-" + randomPart + extension;
    // "." + stem + tail must fit in a file name; the stem's copy gives way.
    const std::size_t room = kNameMax > tail.size() + 1 ? kNameMax - tail.size() - 1 : 0;
    const std::string file = "." + Prefix(path.stem().string(), room) + tail;
    return (path.parent_path() / file).string();
}

long TemporaryFileOwner(const std::string& fileName) {
    const std::size_t mark = fileName.rfind(kTemporaryMark);
    if (fileName.empty() || fileName.front() != '.' || mark == std::string::npos) {
        return 0;
    }
    std::size_t at = mark + std::strlen(kTemporaryMark);
    long pid = 0;
    const std::size_t digitsStart = at;
    while (at < fileName.size() && std::isdigit(static_cast<unsigned char>(fileName[at])) &&
           at - digitsStart < 10) {
        pid = pid * 10 + (fileName[at] - '0');
        ++at;
    }
    if (at == digitsStart || at >= fileName.size() || fileName[at] != '-') {
        return 0;
    }
    ++at;
    for (std::size_t i = 0; i < kRandomDigits; ++i, ++at) {
        if (at >= fileName.size() || !std::isxdigit(static_cast<unsigned char>(fileName[at]))) {
            return 0;
        }
    }
    if (at != fileName.size() && fileName[at] != '.') {
        return 0;
    }
    return pid;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const long pid = TemporaryFileOwner(entry->d_name);
        if (pid <= 0 || pid == static_cast<long>(getpid())) {
            continue;
        }
        // Only a process that is gone; EPERM means it lives under another user.
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;
        }
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
            continue;
        }
        if (unlinkat(dirfd(dir), entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    closedir(dir);
    return removed;
}

std::string RenameWithoutReplacing(const std::string& from, const std::string& to,
                                   std::string& error) {
    const std::filesystem::path target(to);
    const std::string extension = target.extension().string();
    std::string stem = target.stem().string();
    // "clip (2)" taken goes on with "clip (3)", not "clip (2) (1)".
    int first = 1;
    if (const std::size_t open = stem.rfind(" (");
        open != std::string::npos && stem.back() == ')') {
        const std::string number = stem.substr(open + 2, stem.size() - open - 3);
        if (!number.empty() && number.size() < 6 &&
            std::all_of(number.begin(), number.end(),
                        [](unsigned char c) { return std::isdigit(c) != 0; })) {
            first = std::stoi(number) + 1;
            stem.erase(open);
        }
    }
    std::string candidate = to;
    for (int n = first; n < first + kMaxNameNumber; ++n) {
        const int code = MoveIfFree(from, candidate);
        if (code == 0) {
            return candidate;
        }
        if (code != EEXIST) {
            error = "Cannot rename the output file: " + ErrorText(AVERROR(code));
            return {};
        }
        candidate =
            (target.parent_path() / (stem + " (" + std::to_string(n) + ")" + extension)).string();
    }
    error = "Cannot rename the output file: " + ErrorText(AVERROR(EEXIST));
    return {};
}

std::string ExtensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty() && extension.front() == '.') {
        extension.erase(0, 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace ostrel::engine::ff
