// Guard against SIGBUS from mapped files that another program truncates.
//
// A file that we map can be shortened at any moment by its writer (log
// rotation by copy-and-truncate does exactly that). Touching a page of the
// mapping past the file's new end then raises SIGBUS, which would kill the
// viewer. Every mapping made by MapFile (platform/File.h) is registered here;
// a SIGBUS whose address lies inside a registered mapping is answered by
// mapping anonymous zero pages over the whole lost range at once (from the
// page after the file's new end to the end of the mapping), so the faulting
// read sees NUL and execution goes on. The mapping is then marked stale and
// the watchers of that file are woken, so that its windows re-map it even if
// the file has meanwhile grown back to the same size (the zero pages would
// otherwise stay). A SIGBUS anywhere else goes to the handler that was
// installed before ours, or takes the default action (a crash with a core),
// so real faults are not hidden.
//
// The registry is a fixed table of atomics: the handler reads it without
// locks or allocation, and it uses only raw system calls.
#pragma once

#include <cstdint>

namespace platform {

class WakeEvent;

// Registers and unregisters a mapping (called by MapFile / UnmapFile). The
// handler is installed on the first registration. A mapping that does not fit
// in the table (thousands at once) stays unguarded.
void RegisterGuardedMapping(std::uint8_t* view, std::uint64_t size, int fd);
void UnregisterGuardedMapping(std::uint8_t* view);

// Installs the handler, or installs it again if somebody replaced it (the
// replacement becomes the handler we chain to). Any thread, not from a handler.
void InstallSigbusGuard();

// Whether a truncation was caught inside the mapping that starts at `view`
// (its tail now reads as zeros until the file is mapped again).
bool IsMappingStale(const std::uint8_t* view);

// Watchers of a file listen for its mappings going stale: `wake` is set from
// the handler, and the listener's count goes up, whenever a mapping of the
// same file (device and inode of `fileFd`) is patched. Returns a listener id,
// or -1 (no room, or fileFd unusable). After UnregisterStaleListener returns,
// `wake` is no longer touched.
int RegisterStaleListener(int fileFd, WakeEvent* wake);
void UnregisterStaleListener(int listener);
std::uint32_t StaleCount(int listener);

// Sets the wake events of the listeners of the file `fd` is open on, without
// counting a truncation: a writer in this process (standard input or a
// decompression filling an anonymous file) tells the file's watchers at once
// that it grew, where no directory notification would. Any thread.
void WakeFileListeners(int fd);
// The same for the file of that device and inode (one no longer open: a file
// a document has just put another in place of).
void WakeFileListeners(std::uint64_t device, std::uint64_t inode);

// Number of faults the guard has answered, process-wide (for tests: one
// truncation costs one signal, not one per page).
std::uint64_t GuardedFaultCount();

}  // namespace platform
