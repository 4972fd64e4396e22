// One host connection to the emulated phone: the transport handshake, the
// streams the host opens (shell commands and file sync), and flow control.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "adb_packet.h"

namespace adbphone {

// What the phone holds; it outlives a connection, as a real phone does.
struct PhoneState {
    std::string rootFolder;         // stands for the phone's "/"
    bool rooted = true;             // whether su works
    bool silent = false;            // never answers: the host sees it offline
    std::set<std::string> readable; // phone paths opened up by chmod through su
};

class PhoneSession {
  public:
    PhoneSession(int fd, PhoneState& phone) : m_fd(fd), m_phone(phone) {}

    // Serves the connection until the host closes it or it breaks.
    void run();

  private:
    struct Stream {
        uint32_t remoteId = 0;
        bool sync = false;
        std::string input;          // sync requests not handled yet
        std::string output;         // bytes still to send
        bool awaitingOkay = false;  // a WRTE is out and not acknowledged
        bool closeWhenSent = false; // send CLSE once output is out
    };

    // Answers one packet from the host; false when the connection broke.
    bool handle(const Packet& packet);
    // Opens a shell or sync stream the host asks for, or refuses it.
    void openStream(const Packet& packet);
    // Runs a shell command and queues its output (and exit status for v2).
    void runShell(Stream& stream, const std::string& service);
    // Answers every complete sync request in the stream's input.
    void serveSync(Stream& stream);
    // Sends what flow control allows: one unacknowledged WRTE per stream,
    // then CLSE when a finished stream's output is out; false on a write error.
    bool pump();
    // Sends one packet; false on a write error.
    bool send(uint32_t command, uint32_t arg0, uint32_t arg1, std::string payload = {});

    // The host file standing for phonePath, empty when it is outside the root.
    std::string hostPath(const std::string& phonePath) const;
    bool canRead(const std::string& phonePath) const;

    int m_fd;
    PhoneState& m_phone;
    uint32_t m_maxPayload = 4096;
    uint32_t m_nextId = 1;
    std::map<uint32_t, Stream> m_streams;
};

} // namespace adbphone
