#include "stop_signal.h"

#include <thread>

namespace fennaro::platform {

void StopSignal::request() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requested = true;
    }
    m_changed.notify_all();
}

bool StopSignal::requested() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requested;
}

bool StopSignal::waitFor(std::chrono::milliseconds time) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (time.count() <= 0)
        return m_requested;
    return m_changed.wait_for(lock, time, [this] { return m_requested; });
}

bool waitOutDelay(const StopSignal* stop, std::chrono::milliseconds delay) {
    if (delay.count() <= 0)
        return !(stop && stop->requested());
    if (!stop) {
        std::this_thread::sleep_for(delay);
        return true;
    }
    return !stop->waitFor(delay);
}

} // namespace fennaro::platform
