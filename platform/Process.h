// The user this process runs as, names and ids of its threads, its limits,
// and the one way the program says something went wrong for one file.
#pragma once

#include <string>

namespace platform {

// The user's numeric id, for names of per-user folders.
unsigned UserId();
// The user's home folder as the password database gives it, or empty.
std::string PasswdHome();

// Names the calling thread (shown by ps, top and debuggers; at most 15 bytes).
void NameCurrentThread(const char* name);
// The kernel's id of the calling thread (as /proc/self/task/<id> shows it).
int CurrentThreadId();

// Raises the soft limit of open files to the hard one (called at start): the
// usual soft limit of 1024 runs out with a few hundred open files, and the
// program never uses select(), which would not take descriptors past it.
// Returns the soft limit in force afterwards (0 when it cannot be read).
unsigned long RaiseOpenFileLimit();

// The machine's physical memory in bytes (0 when it cannot be told).
unsigned long long PhysicalMemoryBytes();

// Writes "<program>: <text>" as one line to the standard error: a failure
// that concerns one file, where the program goes on with the others.
void ReportProblem(const std::string& text);

}  // namespace platform
