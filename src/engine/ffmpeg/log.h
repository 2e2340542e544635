// libav's own messages, routed through the engine: nothing reaches the terminal unless the
// environment asks for it (OSTREL_ENGINE_LOG=verbose, which "ostrel-convert --verbose" sets),
// and the first error a task or probe causes is kept to complete its error text.
#pragma once

#include <string>

namespace ostrel::engine::ff {

// text, with detail (libav's complaint) appended in brackets unless it is empty or text holds
// it already.
std::string WithDetail(const std::string& text, const std::string& detail);

// Installs the routing once per process; cheap on later calls.
void RouteLibavLog();

// While it lives, keeps the first error-level message libav logs on this thread ("mp3:
// Invalid frame size (418)"). Messages from libav's own worker threads are not seen.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::string& FirstError() const { return firstError_; }
    // The first error kept by the capture of the calling thread; empty without one.
    static std::string FirstErrorOnThisThread();
    // text, with the first error appended in brackets when there is one it does not hold yet.
    std::string Explain(const std::string& text) const;
    // Records a message (the callback's part; public for it).
    void Record(const std::string& message);

  private:
    LogCapture* previous_;
    std::string firstError_;
};

}  // namespace ostrel::engine::ff
