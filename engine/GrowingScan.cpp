#include "engine/GrowingScan.h"

#include <algorithm>

namespace engine {

void CGrowingScan::Grow(std::int64_t dataEnd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_target = OnGrid(dataEnd);
    m_wake.notify_all();
}

void CGrowingScan::Rebuild(std::int64_t dataEnd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_target = OnGrid(dataEnd);
    m_rebuild = true;
    m_wake.notify_all();
}

void CGrowingScan::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
    m_running = false;
    m_idle.notify_all();
}

void CGrowingScan::WaitIdle()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [&] { return !m_thread.joinable() || (!m_running && !m_rebuild && m_scanEnd >= m_target); });
}

std::function<void()> CGrowingScan::NotePublished(bool force, bool last)
{
    const std::int64_t span = m_scanEnd - m_scanStart;
    m_percent = span <= 0 ? 100 : static_cast<int>((m_reached - m_scanStart) * 100 / span);
    if (last)
        m_running = false;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastNotify < std::chrono::milliseconds(30))
        return {};
    m_lastNotify = now;
    return m_notify;
}

void CGrowingScan::SetNotify(std::function<void()> notify)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notify = std::move(notify);
}

}  // namespace engine
