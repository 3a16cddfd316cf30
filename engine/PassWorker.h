// The thread that a file's background pass runs on (the line count, the
// record summaries): one pass at a time, started again when the file grows,
// stopped and joined before the text it reads goes away.
//
// A pass looks at the stop flag between reads (its scan reader is cancelled
// by it) and returns; the pass counts as over before its last news is sent,
// so whoever reads the state on that news sees the pass finished.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace engine {

class CPassWorker {
public:
    CPassWorker() = default;
    ~CPassWorker() { Stop(); }
    CPassWorker(const CPassWorker&) = delete;
    CPassWorker& operator=(const CPassWorker&) = delete;

    // Runs `pass` on a thread of its own, then `done` (when given, and when the pass was not stopped). While a
    // pass runs, the running one is asked to run once more when it is over (so that an end told while it
    // finished is never lost) and false is returned.
    bool Start(std::function<void()> pass, std::function<void()> done)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_working) {
                m_again = true;
                return false;
            }
        }
        if (m_thread.joinable())
            m_thread.join();
        m_stop = false;
        m_again = false;
        m_working = true;
        m_thread = std::thread([this, pass = std::move(pass), done = std::move(done)] {
            for (;;) {
                pass();
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_again || m_stop) {
                    m_working = false;
                    break;
                }
                m_again = false;
            }
            if (done && !m_stop)
                done();
        });
        return true;
    }
    // Stops the pass and waits for its thread to end.
    void Stop()
    {
        m_stop = true;
        Wait();
        m_stop = false;
        m_again = false;
    }
    // Waits for the pass to end by itself.
    void Wait()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool IsWorking() const { return m_working; }
    bool Stopping() const { return m_stop; }
    const std::atomic<bool>& StopFlag() const { return m_stop; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_working{false};
    bool m_again = false;  // under m_mutex: run the pass once more when it is over
    std::mutex m_mutex;
    std::thread m_thread;
};

}  // namespace engine
