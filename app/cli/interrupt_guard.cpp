#include "interrupt_guard.h"

#include <unistd.h>

namespace fennaro::cli {

namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

// What the handler touches; both are safe to use in a signal handler.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool>* g_stopFlag = nullptr;
volatile std::sig_atomic_t g_caughtSignal = 0;

// Records the signal and asks the running worker to stop.
extern "C" void onStopSignal(int signal) {
    g_caughtSignal = signal;
    if (g_stopFlag)
        g_stopFlag->store(true);
}

} // namespace

InterruptGuard::InterruptGuard(std::atomic<bool>& stopFlag) {
    g_stopFlag = &stopFlag;
    g_caughtSignal = 0;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], nullptr, &m_saved[i]);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (m_saved[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
    }
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &m_saved[i], nullptr);
    g_stopFlag = nullptr;
}

int InterruptGuard::caughtSignal() const {
    return g_caughtSignal;
}

void InterruptGuard::endByCaughtSignal() {
    const int signal = g_caughtSignal;
    if (signal == 0)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
    ::_exit(128 + signal); // the default action of these three ends the program
}

} // namespace fennaro::cli
