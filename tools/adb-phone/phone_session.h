// One host connection to the emulated phone: the transport handshake, the
// streams the host opens (shell commands and file sync), and flow control.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "adb_packet.h"
#include "phone_commands.h"

namespace adbphone {

class PhoneSession {
  public:
    PhoneSession(int fd, PhoneState& phone) : m_fd(fd), m_phone(phone) {}

    // Serves the connection until the host closes it, it breaks, it stays
    // idle too long or the phone goes away.
    void run();

  private:
    struct Stream {
        uint32_t remoteId = 0;
        bool sync = false;
        std::string input;          // sync requests not handled yet
        std::string output;         // bytes still to send
        bool awaitingOkay = false;  // a WRTE is out and not acknowledged
        bool closeWhenSent = false; // send CLSE once output is out
        // Output a slow phone holds back until releaseAt.
        std::string heldBack;
        std::chrono::steady_clock::time_point releaseAt;
        bool vanishWhenSent = false; // the phone goes away once output is out
    };

    // Answers one packet from the host; false when the connection broke.
    bool handle(const Packet& packet);
    // Opens a shell or sync stream the host asks for, or refuses it.
    void openStream(const Packet& packet);
    // Runs a shell or exec command and queues its output (and exit status
    // for shell v2), applying the phone's test behaviours.
    void runShell(Stream& stream, const std::string& service);
    // Answers every complete sync request in the stream's input.
    void serveSync(Stream& stream);
    // Sends what flow control allows: one unacknowledged WRTE per stream,
    // then CLSE when a finished stream's output is out; false on a write error.
    bool pump();
    // Sends one packet; false on a write error.
    bool send(uint32_t command, uint32_t arg0, uint32_t arg1, std::string payload = {});

    // Whether chmod through su has opened phonePath up to sync pulls.
    bool canRead(const std::string& phonePath) const;
    // Appends one received request to the phone's log file, if it keeps one.
    void log(const std::string& request) const;
    // True while some stream holds output back.
    bool holdingOutput() const;

    int m_fd;
    PhoneState& m_phone;
    uint32_t m_maxPayload = 4096;
    uint32_t m_nextId = 1;
    std::map<uint32_t, Stream> m_streams;
};

} // namespace adbphone
