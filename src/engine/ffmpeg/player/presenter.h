// The presentation thread: hands each picture to the host when its time has come on the
// master clock (the audio clock while sound plays, else the external clock), skips pictures
// that are late and repeats none; posts the position about ten times a second (with each
// picture, or from the audio clock for sound without pictures); shows the picture again at a
// new display size; and finds the end: everything read, decoded, shown and played out.
//
// It sleeps until the next picture's time, the next position of sound without pictures or
// the end of the written sound; a new picture, the end of a stream, a pause, resume or seek, a
// new display size and the stop wake it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ffmpeg/player/picture.h"
#include "engine/ffmpeg/player/video_sink.h"

namespace ostrel::engine::ff {

class MediaSession;

class Presenter {
  public:
    explicit Presenter(MediaSession& session);
    void Run(const void* owner);

  private:
    // Shows what is due; returns how long, at most, until the next picture is due.
    double ShowDue(double nowS, bool paused, double waitS);
    void Present(std::shared_ptr<const Picture> picture, double nowS, bool paused);
    void Redraw();
    // Sound without pictures: the cover (again: for a new size), or the live view while it
    // plays; the position. Returns how long until it is due again.
    double ShowSound(double nowS, bool paused, bool again);
    void SoundPosition(double nowS);
    // Whether everything was read, shown and played out (and the end is posted once).
    bool CheckEnd(double nowS);
    // How long until the sound, all of it written, should have played out.
    double SoundEndWaitS(double nowS);

    MediaSession& session_;
    std::shared_ptr<const Picture> next_;  // taken from the queue, not yet shown
    std::shared_ptr<const Picture> lastShown_;
    PictureScaler scaler_;
    double lastPositionS_ = -1.0;  // when the last position was posted
    int lastPositionSerial_ = -1;
    // Sound only: the last position posted and the serial it belongs to.
    std::int64_t lastSoundPositionUs_ = 0;
    int lastSoundSerial_ = -1;
    bool soundShown_ = false;  // the cover or a live view was posted
    std::vector<std::int16_t> scopeSamples_;
};

}  // namespace ostrel::engine::ff
