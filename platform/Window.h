// Window handles and posted messages without a window system.
//
// A window (anything that handles messages) registers itself and gets a
// handle. Any thread may post a message to a handle; posted messages wait in
// one process-wide queue until the UI thread drains it, and a message whose
// window has gone by then is dropped. The UI toolkit installs a wake-up hook
// so that it drains the queue from its own event loop; tests drain it by hand.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>

namespace platform {

class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    virtual std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// UI thread only.
HWND RegisterWindow(IMessageTarget* target);
void UnregisterWindow(HWND hwnd);

// Any thread.
bool IsWindow(HWND hwnd);
// A message identical to one still waiting for the same window is not queued
// again (true all the same).
bool PostWindowMessage(HWND hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

// Called (from the posting thread) after each post, so that the UI loop can
// schedule a drain. The hook must be thread-safe and must not block.
void SetPostWakeHook(std::function<void()> hook);

// UI thread: delivers the messages queued when it is called to their live
// windows, in order of posting (those posted meanwhile wait for the next
// drain); returns the number delivered.
int DrainPostedMessages();
// Number of messages waiting (for tests).
int PendingPostedMessages();

}  // namespace platform
