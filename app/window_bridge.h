// How worker threads reach the main window's thread: every call is queued to
// the object the bridge was made for (the recovery flow, which lives on the
// window's thread). A "send" also waits until the window has handled it, as
// the progress bar and the tree captions need; a "post" does not wait.
//
// The flow closes the bridge before it or the window goes: later calls are
// dropped, calls already queued are skipped, and a worker waiting in a send
// is released at once, so a closing window never waits on a worker that
// waits on the window.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace fennaro {

class WindowBridge : public std::enable_shared_from_this<WindowBridge> {
  public:
    // Makes an open bridge to window, which must outlive the bridge's being
    // open (the window closes it before it is destroyed).
    static std::shared_ptr<WindowBridge> create(QObject* window);

    // Queues call to run on the window's thread; returns at once.
    void post(std::function<void()> call);
    // Queues call and waits until the window's thread has run it, or until
    // the bridge is closed.
    void send(std::function<void()> call);
    // Drops every later and every still queued call and releases waiting
    // senders. Called on the window's thread.
    void close();
    // Returns whether close() was called.
    bool isClosed() const;

  private:
    explicit WindowBridge(QObject* window) : m_window(window) {}
    // Queues call wrapped so that it is skipped once the bridge is closed;
    // false when the bridge is closed already.
    bool enqueue(std::function<void()> call);

    mutable std::mutex m_mutex;
    std::condition_variable m_handled;
    QObject* m_window;
    bool m_closed = false;
};

} // namespace fennaro
