#include "engine/ffmpeg/log.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace ostrel::engine::ff {
namespace {

thread_local LogCapture* tlsCapture = nullptr;
std::atomic<bool> verbose{false};

// The message as one line: "<component>: <text>", without libav's address prefix.
std::string Line(void* context, const char* format, va_list arguments) {
    char text[1024];
    va_list copy;
    va_copy(copy, arguments);
    std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    const AVClass* avClass = context != nullptr ? *static_cast<AVClass**>(context) : nullptr;
    if (avClass != nullptr && !line.empty()) {
        const char* name =
            avClass->item_name != nullptr ? avClass->item_name(context) : avClass->class_name;
        if (name == nullptr || std::strcmp(name, "NULL") == 0) {
            name = avClass->class_name;  // a context not yet bound to its format or codec
        }
        if (name != nullptr && *name != '\0') {
            line = std::string(name) + ": " + line;
        }
    }
    return line;
}

void Callback(void* context, int level, const char* format, va_list arguments) {
    if (level <= AV_LOG_ERROR && tlsCapture != nullptr && tlsCapture->FirstError().empty()) {
        tlsCapture->Record(Line(context, format, arguments));
    }
    if (verbose.load() && level <= AV_LOG_INFO) {
        av_log_default_callback(context, level, format, arguments);
    }
}

}  // namespace

void RouteLibavLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* setting = std::getenv("OSTREL_ENGINE_LOG");
        verbose = setting != nullptr && std::strcmp(setting, "verbose") == 0;
        av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_ERROR);
        av_log_set_callback(Callback);
        // SVT-AV1 prints its banner and settings to the terminal unless SVT_LOG says
        // otherwise (1: errors only); a value the user set is kept. This runs when the first
        // engine object is made, before any of its threads.
        if (!verbose) {
            ::setenv("SVT_LOG", "1", 0);
        }
    });
}

LogCapture::LogCapture() : previous_(tlsCapture) {
    tlsCapture = this;
}

LogCapture::~LogCapture() {
    tlsCapture = previous_;
}

void LogCapture::Record(const std::string& message) {
    if (firstError_.empty()) {
        firstError_ = message;
    }
}

std::string LogCapture::FirstErrorOnThisThread() {
    return tlsCapture != nullptr ? tlsCapture->firstError_ : std::string();
}

std::string LogCapture::Explain(const std::string& text) const {
    return WithDetail(text, firstError_);
}

std::string WithDetail(const std::string& text, const std::string& detail) {
    if (detail.empty() || text.find(detail) != std::string::npos) {
        return text;
    }
    return text + " (" + detail + ")";
}

}  // namespace ostrel::engine::ff
