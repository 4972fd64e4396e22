// The pause switch of the loading and export workers: a manual-reset event.
// Signalled means "run"; a reset event holds every worker that waits on it
// until someone signals it again.
#pragma once

#include <condition_variable>
#include <mutex>

namespace fennaro {

class RunEvent {
  public:
    // Creates the event signalled or not.
    explicit RunEvent(bool signalled = false) : m_signalled(signalled) {}
    RunEvent(const RunEvent&) = delete;
    RunEvent& operator=(const RunEvent&) = delete;

    // Signals the event and wakes every waiter (Continue, Stop, start of a run).
    void set();
    // Resets the event, so later waits block (Pause).
    void reset();
    // Blocks until the event is signalled; returns at once when it is.
    void wait();
    // Returns whether the event is signalled.
    bool isSet() const;

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled;
};

} // namespace fennaro
