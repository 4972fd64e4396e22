// Work run on a second thread while the caller goes on with its own share:
// the scan is bound by memory and processor, and phones have several cores.
// Where no thread can be started the work runs at once on the caller's.
#pragma once

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace fennaro::deep {

class SideTask {
  public:
    // Starts work (a callable taking nothing) beside the caller.
    template <typename Work>
    explicit SideTask(Work&& work) {
        auto guarded = [this, work = std::forward<Work>(work)]() mutable {
            try {
                work();
            } catch (...) {
                m_error = std::current_exception();
            }
        };
        try {
            m_thread = std::thread(guarded);
        } catch (const std::system_error&) {
            guarded();
        }
    }

    // Waits for the work; rethrows what it threw.
    void join() {
        if (m_thread.joinable())
            m_thread.join();
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
    }

    // Never leaves the thread running: what it works on goes with the caller.
    ~SideTask() {
        if (m_thread.joinable())
            m_thread.join();
    }

    SideTask(const SideTask&) = delete;
    SideTask& operator=(const SideTask&) = delete;

    // Whether a second thread is worth starting at all.
    static bool worthwhile() { return std::thread::hardware_concurrency() >= 2; }

  private:
    std::exception_ptr m_error;
    std::thread m_thread;
};

} // namespace fennaro::deep
