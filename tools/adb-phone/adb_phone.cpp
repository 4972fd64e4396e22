// fennaro-adb-phone --root DIR --port-file FILE [--no-root] [--silent]
//                   [--idle-exit SECONDS] [--log FILE] [--growing NAME]
//                   [--slow NAME SECONDS] [--vanish NAME]
//
// An emulated phone for tests. It listens on a free loopback TCP port, writes
// the port number to FILE once it listens, and serves the real adb client
// (after "adb connect 127.0.0.1:PORT") the way a phone's debug daemon does:
// DIR stands for the phone's "/". Files under DIR can be pulled once
// "su root chmod 777 PATH" has opened them up, or read with root rights
// through "su -c cat PATH", "su -c stat -c FORMAT PATH..." and "su -c id -u"
// (adb shell or exec-out); with --no-root su fails. With --silent it takes
// the connection but never answers, as a phone whose debugging has not been
// allowed, so the host sees it offline.
// --log appends every request the phone receives (shell, exec and sync
// services, verbatim) to FILE, one per line. Files with the base name NAME
// misbehave: --growing ones grow by 1000 bytes each time cat reads them,
// --slow ones stall for SECONDS after their first 4096 bytes, and while
// cat sends a --vanish one the phone goes away (closes the connection after
// half of it and ends).
// It ends by itself after SECONDS (default 120) without any host traffic,
// so a test that dies never leaves it behind for long.
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "phone_session.h"

namespace {

// Prints the usage and returns the usage status.
int usage() {
    std::fputs("usage: fennaro-adb-phone --root DIR --port-file FILE [--no-root] [--silent] "
               "[--idle-exit SECONDS] [--log FILE] [--growing NAME] [--slow NAME SECONDS] "
               "[--vanish NAME]\n",
               stderr);
    return 2;
}

// Writes the port to file through a temporary name, so a reader never sees
// a half-written number.
bool publishPort(const std::string& file, int port) {
    std::string temporary = file + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "w");
    if (!out)
        return false;
    std::fprintf(out, "%d\n", port);
    if (std::fclose(out) != 0)
        return false;
    return std::rename(temporary.c_str(), file.c_str()) == 0;
}

} // namespace

// Listens, publishes the port, and serves one host connection at a time.
int main(int argc, char** argv) {
    adbphone::PhoneState phone;
    std::string portFile;
    int& idleSeconds = phone.idleSeconds;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc)
            phone.rootFolder = argv[++i];
        else if (arg == "--port-file" && i + 1 < argc)
            portFile = argv[++i];
        else if (arg == "--idle-exit" && i + 1 < argc)
            idleSeconds = std::atoi(argv[++i]);
        else if (arg == "--log" && i + 1 < argc)
            phone.logFile = argv[++i];
        else if (arg == "--growing" && i + 1 < argc)
            phone.growingName = argv[++i];
        else if (arg == "--slow" && i + 2 < argc) {
            phone.slowName = argv[++i];
            phone.slowSeconds = std::atoi(argv[++i]);
        } else if (arg == "--vanish" && i + 1 < argc)
            phone.vanishingName = argv[++i];
        else if (arg == "--no-root")
            phone.rooted = false;
        else if (arg == "--silent")
            phone.silent = true;
        else
            return usage();
    }
    if (phone.rootFolder.empty() || portFile.empty() || idleSeconds <= 0)
        return usage();
    std::signal(SIGPIPE, SIG_IGN);

    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("fennaro-adb-phone: listen");
        return 1;
    }
    if (!publishPort(portFile, ntohs(address.sin_port))) {
        std::perror("fennaro-adb-phone: port file");
        return 1;
    }

    for (;;) {
        pollfd waiting = {listener, POLLIN, 0};
        if (::poll(&waiting, 1, idleSeconds * 1000) <= 0)
            return 0;
        int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        int one = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // A host that goes silent for the idle time ends the session.
        timeval timeout = {idleSeconds, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        adbphone::PhoneSession(connection, phone).run();
        ::close(connection);
        if (phone.gone)
            return 0;
    }
}
