// The user this process runs as, and names and ids of its threads.
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

}  // namespace platform
