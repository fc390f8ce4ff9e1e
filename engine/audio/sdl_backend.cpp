// Sound through SDL2. SDL's callback only copies and hands finished buffers on: it runs on
// SDL's audio thread, where waiting for the playback side would stall the device.
#include <SDL.h>
#include <dlfcn.h>

#include <array>
#include <cassert>
#include <cstring>

#include "audio/audio_backend.h"

namespace kivra::audio_detail {
namespace {

// alsa-lib prints a dozen lines to stderr when there is no card, before SDL even returns
// its error. While we only probe (and fall back quietly), its handler is swapped for a
// silent one. The library is reached through the already loaded copy so that nothing
// depends on ALSA at build time.
class QuietAlsa {
  public:
    QuietAlsa() {
        library_ = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
        if (library_ == nullptr) return;
        set_handler_ = reinterpret_cast<SetHandler>(dlsym(library_, "snd_lib_error_set_handler"));
        auto* current = static_cast<Handler*>(dlsym(library_, "snd_lib_error"));
        if (set_handler_ == nullptr || current == nullptr) {
            set_handler_ = nullptr;
            return;
        }
        previous_ = *current;
        set_handler_(&silent);
    }

    ~QuietAlsa() {
        if (set_handler_ != nullptr) set_handler_(previous_);
        if (library_ != nullptr) dlclose(library_);
    }

    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

  private:
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);

    static void silent(const char*, int, const char*, int, const char*, ...) {}

    void* library_ = nullptr;
    SetHandler set_handler_ = nullptr;
    Handler previous_ = nullptr;
};

SDL_AudioFormat sdl_format(int bits) {
    switch (bits) {
        case 8:
            return AUDIO_U8;
        case 32:
            return AUDIO_S32LSB;
        default:
            return AUDIO_S16LSB;
    }
}

// About 50 ms per callback whatever the rate: short enough that completions follow the
// device closely, long enough not to wake SDL's thread needlessly often.
Uint16 callback_frames(int rate) {
    int frames = 256;
    while (frames < 4096 && frames * 2 <= rate / 20) frames *= 2;
    return static_cast<Uint16>(frames);
}

class SdlBackend final : public Backend {
  public:
    SdlBackend(const AudioFormat& format, FinishSink& sink) : format_(format), sink_(sink) {}

    ~SdlBackend() override { close(); }

    SdlBackend(const SdlBackend&) = delete;
    SdlBackend& operator=(const SdlBackend&) = delete;

    // Takes over the audio subsystem reference the caller initialised.
    bool open(bool probing) {
        subsystem_ = true;
        SDL_AudioSpec want{};
        want.freq = format_.rate;
        want.format = sdl_format(format_.bits);
        want.channels = static_cast<Uint8>(format_.channels);
        want.samples = callback_frames(format_.rate);
        want.callback = &SdlBackend::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        if (probing) {
            QuietAlsa quiet;
            device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        } else {
            device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        }
        if (device_ == 0) return false;
        silence_ = have.silence;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void queue(AudioBuffer* buffer) override {
        Entry entry{buffer, play_bytes(*buffer, format_), 0, 0};
        entry.end = entry.data != 0 ? entry.data : idle_silence_bytes(format_);
        SDL_LockAudioDevice(device_);
        assert(count_ < entries_.size());
        entries_[(head_ + count_) % entries_.size()] = entry;
        ++count_;
        SDL_UnlockAudioDevice(device_);
    }

    void close() override {
        if (device_ != 0) {
            SDL_CloseAudioDevice(device_);  // returns once the callback can no longer run
            device_ = 0;
        }
        count_ = 0;
        if (subsystem_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            subsystem_ = false;
        }
    }

  private:
    struct Entry {
        AudioBuffer* buffer;
        size_t data;    // PCM bytes to copy
        size_t end;     // data, or the idle silence when there is none
        size_t offset;  // bytes already given to SDL
    };

    static void SDLCALL callback(void* self, Uint8* stream, int length) {
        static_cast<SdlBackend*>(self)->fill(stream, static_cast<size_t>(length));
    }

    // Runs under SDL's device lock, which queue() takes too.
    void fill(Uint8* out, size_t wanted) {
        while (wanted > 0) {
            if (count_ == 0) {
                std::memset(out, silence_, wanted);
                return;
            }
            Entry& entry = entries_[head_];
            size_t n = 0;
            if (entry.offset < entry.data) {
                n = std::min(wanted, entry.data - entry.offset);
                std::memcpy(out, entry.buffer->data + entry.offset, n);
            } else {
                n = std::min(wanted, entry.end - entry.offset);
                std::memset(out, silence_, n);
            }
            entry.offset += n;
            out += n;
            wanted -= n;
            if (entry.offset == entry.end) {
                head_ = (head_ + 1) % entries_.size();
                --count_;
                sink_.finished(entry.buffer);
            }
        }
    }

    const AudioFormat format_;
    FinishSink& sink_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystem_ = false;
    Uint8 silence_ = 0;
    std::array<Entry, kAudioBufferCount> entries_{};
    size_t head_ = 0;
    size_t count_ = 0;
};

}  // namespace

SdlOpen open_sdl_backend(const AudioFormat& format, FinishSink& sink, bool probing) {
    SdlOpen result;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        result.error = KIVRA_ERROR_OUTPUT_NO_DEVICE;
        result.checked_value = -1;
        return result;
    }
    // -1 means SDL cannot list the devices (a sound server, say), not that there are none.
    if (!probing && SDL_GetNumAudioDevices(0) == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        result.error = KIVRA_ERROR_OUTPUT_NO_DEVICE;
        result.checked_value = KIVRA_CHECKED_NO_AUDIO_DEVICE;
        return result;
    }
    auto backend = std::make_unique<SdlBackend>(format, sink);
    if (!backend->open(probing)) {
        result.error = KIVRA_ERROR_OUTPUT_DEVICE;
        result.checked_value = -1;
        return result;  // the backend's destructor gives the subsystem back
    }
    result.backend = std::move(backend);
    return result;
}

}  // namespace kivra::audio_detail
