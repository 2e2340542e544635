// The player window's own artwork, drawn in code: the play and pause symbols of its button
// and the speaker and muted-speaker pictures of its mute toggle.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace ostrel {

// 20 x 15 device-independent pixels, the size of the mute toggle.
inline constexpr int kSpeakerWidthPx = 20;
inline constexpr int kSpeakerHeightPx = 15;

// The play triangle and the pause bars.
QIcon PlayIcon();
QIcon PauseIcon();

// The speaker with sound waves (muted false) or with a red cross (muted true), drawn for a
// device pixel ratio.
QPixmap SpeakerPixmap(bool muted, qreal devicePixelRatio);

}  // namespace ostrel
