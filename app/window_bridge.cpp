#include "app/window_bridge.h"

#include <QMetaObject>
#include <QObject>

namespace fennaro {

std::shared_ptr<WindowBridge> WindowBridge::create(QObject* window) {
    return std::shared_ptr<WindowBridge>(new WindowBridge(window));
}

bool WindowBridge::enqueue(std::function<void()> call) {
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return false;
    // The window is alive while the bridge is open; an event queued to it is
    // discarded by Qt if the window is destroyed before it is delivered.
    QMetaObject::invokeMethod(
        m_window,
        [self = shared_from_this(), call = std::move(call)] {
            if (!self->isClosed())
                call();
        },
        Qt::QueuedConnection);
    return true;
}

void WindowBridge::post(std::function<void()> call) {
    enqueue(std::move(call));
}

void WindowBridge::send(std::function<void()> call) {
    auto handled = std::make_shared<bool>(false);
    auto self = shared_from_this();
    bool queued = enqueue([self, handled, call = std::move(call)] {
        call();
        std::lock_guard lock(self->m_mutex);
        *handled = true;
        self->m_handled.notify_all();
    });
    if (!queued)
        return;
    std::unique_lock lock(m_mutex);
    m_handled.wait(lock, [&] { return *handled || m_closed; });
}

void WindowBridge::close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_handled.notify_all();
}

bool WindowBridge::isClosed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

} // namespace fennaro
