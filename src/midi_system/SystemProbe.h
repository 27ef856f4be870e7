#pragma once

namespace orvane {

// Keeps libasound and libjack off the terminal and stops libjack from starting a JACK server
// behind the user's back. Safe to call more than once; every entry point of the platform layer
// calls it before touching those libraries. It sets environment variables the first time, so the
// program calls it before it starts any thread.
void QuietSystemLibraries();

// Caps the memory this process may lock at the kernel's default of 8 MiB (root included).
// libjack locks every segment of the server's shared memory it maps into each client that may
// lock memory: 107 MB of port buffers with the server's default port count. The server keeps
// those pages locked already, so locking them again only fills page tables (9 ms per client
// here) and adds the 107 MB to this process's resident set. What else the process locks, JACK's
// control blocks and semaphores, comes to a few kilobytes. Call it before any thread starts:
// the limit is the process's, the capability that overrides it each thread's.
void LimitMemoryLocking();

// True when the ALSA sequencer can be opened (the kernel module is loaded, /dev/snd/seq exists).
bool AlsaSequencerAvailable();

}  // namespace orvane
