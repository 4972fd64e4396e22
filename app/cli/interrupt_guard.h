// Turns Ctrl-C (and a hang-up or a termination request) into a Stop for the
// duration of a run that writes files, so the run can take back what it
// half-wrote before the program ends.
#pragma once

#include <atomic>
#include <csignal>

namespace fennaro::cli {

class InterruptGuard {
  public:
    // Sets stopFlag when SIGINT, SIGTERM or SIGHUP arrives while the guard
    // lives. Only one guard may live at a time.
    explicit InterruptGuard(std::atomic<bool>& stopFlag);
    // Puts the earlier handlers back.
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Returns the signal that arrived, or 0.
    int caughtSignal() const;

    // Ends the program by the caught signal with its default action, as if
    // the guard had never been there, so a calling shell sees how it ended.
    // Returns only when no signal was caught.
    void endByCaughtSignal();

  private:
    struct sigaction m_saved[3];
};

} // namespace fennaro::cli
