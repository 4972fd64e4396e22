// A one-way stop request shared between the thread that wants work to end
// (the window closing) and the thread doing it. Once requested it stays
// requested; a fresh signal is made for each piece of work.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace fennaro::platform {

class StopSignal {
  public:
    // Marks the stop as requested and wakes every thread waiting on it.
    void request();

    // True once request() has been called.
    bool requested() const;

    // Waits until a stop is requested or time has run out; true when a stop
    // was requested (at once when it already was), false on expiry.
    bool waitFor(std::chrono::milliseconds time) const;

    // Calls action unless a stop has been requested, holding the signal's
    // lock meanwhile: once request() has returned, action is neither running
    // nor started any more. True when action ran. action must be short and
    // must not touch this signal.
    template <typename Action>
    bool runUnlessRequested(Action&& action) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_requested)
            return false;
        action();
        return true;
    }

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_requested = false;
};

// Waits out a worker's start delay; false when stop (which may be null) was
// requested meanwhile.
bool waitOutDelay(const StopSignal* stop, std::chrono::milliseconds delay);

// Calls a worker's "done" action unless stop (which may be null) was
// requested, with the guarantee of StopSignal::runUnlessRequested.
template <typename Action>
void reportUnlessStopped(const StopSignal* stop, Action&& action) {
    if (stop)
        stop->runUnlessRequested(action);
    else
        action();
}

} // namespace fennaro::platform
