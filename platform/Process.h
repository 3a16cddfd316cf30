// The user this process runs as, names and ids of its threads, its limits,
// and the one way the program says something went wrong for one file.
#pragma once

#include "platform/File.h"

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

// A command line the user gave, run by /bin/sh -c in a process group of its
// own, its standard input closed, its standard output and standard error
// both into one pipe, in the order they are written.
struct ShellCommand {
    int pid = -1;                      // also the id of its group
    FileHandle output = kInvalidFile;  // the pipe's end to read (close-on-exec), the caller's to close
};
// False, with the system's reason in `error`, when it cannot be started. `errors`, when given, takes the
// standard error instead of the pipe (the caller keeps it; the command gets a copy).
bool StartShellCommand(const std::string& command, ShellCommand& out, std::string& error,
                       FileHandle errors = kInvalidFile);
// Whether the command (the shell) has ended, and its status as a shell says it: the exit code, or 128 plus
// the number of the signal that ended it. Never waits; reaps the shell when it has ended.
bool PollCommandEnd(int pid, int& status);
// Ends what is left of the command's group: SIGTERM, then SIGKILL after 2 s to what still runs. The waiting
// is done by a thread of its own (never the caller's), joined when the program ends.
void EndCommandGroup(int pid);

// Writes "<program>: <text>" as one line to the standard error: a failure
// that concerns one file, where the program goes on with the others.
void ReportProblem(const std::string& text);

}  // namespace platform
