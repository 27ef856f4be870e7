#pragma once

namespace orvane {

// Sends what libasound and libjack print on their own (connection attempts, missing servers) to
// nowhere, after libjack's errors have passed NoteJackError: the player never sees a terminal,
// and both processes load those libraries. Safe to call more than once and from any thread; sets
// nothing in the environment.
void SilenceAlsaAndJack();

}  // namespace orvane
