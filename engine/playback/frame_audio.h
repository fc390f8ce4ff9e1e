// The sound queued for one presented frame: the frame's audio chunk at the host's volume, or
// silence of the frame's length, because in normal play the sound is the clock.
#pragma once

#include <cstddef>

#include "audio/audio_out.h"
#include "kivra/kivra.h"

namespace kivra {

// Bytes of silence that last one frame of a GOP with `frames` frames per channel (none
// counted: eight), kept even and within one output buffer.
size_t silence_length(const AudioFormat& format, int frames);

// Fills `buffer` for frame `frame` of `set`: its audio chunk scaled by `gain`, or silence of
// the chunk's length with voice off, or one frame of silence when the GOP has no audio.
void fill_frame_audio(const FrameSet& set, int frame, const AudioFormat& format, bool voice_on,
                      float gain, AudioBuffer& buffer);

}  // namespace kivra
