#include "platform/Window.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct Posted {
    HWND hwnd;
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Posted&) const = default;
};

struct Registry {
    std::mutex lock;
    std::unordered_map<HWND, IMessageTarget*> windows;
    HWND next = 1;
    std::deque<Posted> queue;
    std::function<void()> wake;
};

Registry& registry()
{
    static Registry* r = new Registry;  // never destroyed: watcher threads may post at exit
    return *r;
}

}  // namespace

HWND RegisterWindow(IMessageTarget* target)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    const HWND h = r.next++;  // handles are never reused, so a stale one stays dead
    r.windows.emplace(h, target);
    return h;
}

void UnregisterWindow(HWND hwnd)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.windows.erase(hwnd);
}

bool IsWindow(HWND hwnd)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.windows.count(hwnd) != 0;
}

bool PostWindowMessage(HWND hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    Registry& r = registry();
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> g(r.lock);
        if (!r.windows.count(hwnd))
            return false;
        // A copy of a message still waiting adds nothing (the receiver looks at
        // the file as it is when the first is handled), and a file that grows
        // faster than the window reloads would otherwise queue without end.
        const Posted m{hwnd, msg, wParam, lParam};
        if (std::find(r.queue.begin(), r.queue.end(), m) != r.queue.end())
            return true;
        r.queue.push_back(m);
        wake = r.wake;
    }
    if (wake)
        wake();
    return true;
}

void SetPostWakeHook(std::function<void()> hook)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.wake = std::move(hook);
}

int DrainPostedMessages()
{
    Registry& r = registry();
    int delivered = 0;
    // Only what was waiting when the drain began: messages posted meanwhile
    // wait for the next drain (the wake hook schedules one), so that painting
    // and input get their turn however fast a watcher posts.
    std::size_t waiting;
    {
        std::lock_guard<std::mutex> g(r.lock);
        waiting = r.queue.size();
    }
    for (; waiting > 0; --waiting) {
        Posted m;
        IMessageTarget* target = nullptr;
        {
            std::lock_guard<std::mutex> g(r.lock);
            if (r.queue.empty())
                break;
            m = r.queue.front();
            r.queue.pop_front();
            auto it = r.windows.find(m.hwnd);
            if (it != r.windows.end())
                target = it->second;
        }
        // Delivered outside the lock: the handler may post or unregister.
        if (target) {
            target->HandleMessage(m.msg, m.wParam, m.lParam);
            ++delivered;
        }
    }
    return delivered;
}

int PendingPostedMessages()
{
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return static_cast<int>(r.queue.size());
}

}  // namespace platform
