#pragma once
// The speech backend over the Windows Runtime: SpeechSynthesizer for voices and synthesis,
// MediaPlayer for playback. The caller has initialised COM (multithreaded apartment).
#include <memory>

#include "speech/SpeechBackend.h"

namespace moorlink {

// Never fails: a platform class that cannot be created is listed in StartupFailures().
std::unique_ptr<SpeechBackend> CreateWindowsSpeechBackend();

}  // namespace moorlink
