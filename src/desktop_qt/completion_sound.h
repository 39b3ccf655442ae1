// The short chime played when a hashing run ends.
//
// Played through the desktop's event-sound service (libcanberra) without
// waiting for it, as an event sound, so the desktop's alert volume and mute
// apply, and only while the desktop's event sounds are switched on. Where no
// sound server or device exists nothing is heard and nothing is shown: the
// chime is a courtesy, and its failure is nobody's business but the caller's
// return value.
//
// User-interface thread only.
#pragma once

#include <memory>
#include <string>

struct ca_context;

namespace qm {

class CQmCompletionSound {
public:
    // `soundFile` empty: the program's own chime (DefaultSoundFile()).
    explicit CQmCompletionSound(std::u16string soundFile = {});
    ~CQmCompletionSound();
    CQmCompletionSound(const CQmCompletionSound&) = delete;
    CQmCompletionSound& operator=(const CQmCompletionSound&) = delete;

    // Starts the chime and returns at once. False when it cannot play (no
    // sound file, no sound service, event sounds switched off); the thread's
    // error record is left as it was.
    bool Play();

    const std::u16string& GetSoundFile() const { return soundFile_; }

    // share/quorvia/complete.wav beside the program's bin/ directory, where
    // the build puts it and where an installed program finds it.
    static std::u16string DefaultSoundFile();

    // The desktop's "event sounds" switch (the GNOME setting, read through
    // GIO when the system has it); true where no desktop says otherwise.
    static bool DesktopEventSoundsEnabled();

private:
    struct ContextDeleter {
        void operator()(ca_context* context) const;
    };

    std::u16string soundFile_;
    std::unique_ptr<ca_context, ContextDeleter> context_;
    bool contextFailed_ = false;  // creation failed once: do not retry every run
};

}  // namespace qm
