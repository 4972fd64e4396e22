#include "run_event.h"

namespace fennaro {

void RunEvent::set() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    m_changed.notify_all();
}

void RunEvent::reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

void RunEvent::wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_signalled; });
}

bool RunEvent::isSet() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

} // namespace fennaro
