#include "phone_session.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace adbphone {

namespace {

// Largest payload the phone takes or sends in one packet.
constexpr uint32_t kPhoneMaxPayload = 256 * 1024;
// Largest DATA chunk of the sync protocol.
constexpr size_t kSyncDataMax = 64 * 1024;

constexpr uint32_t ID_STAT = commandId("STAT");
constexpr uint32_t ID_RECV = commandId("RECV");
constexpr uint32_t ID_QUIT = commandId("QUIT");
constexpr uint32_t ID_DATA = commandId("DATA");
constexpr uint32_t ID_DONE = commandId("DONE");
constexpr uint32_t ID_FAIL = commandId("FAIL");

// The identity and features the phone announces; shell_v2 lets the client
// learn a command's exit status.
const char kBanner[] = "device::ro.product.name=fennaro_emu;ro.product.model=Emulated_Phone;"
                       "ro.product.device=emu;features=shell_v2";

// Splits text at blanks.
std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// One shell_v2 packet: kind (1 stdout, 2 stderr, 3 exit), length, data.
std::string shellPacket(char kind, const std::string& data) {
    std::string out(1, kind);
    putLe32(out, uint32_t(data.size()));
    return out + data;
}

// A sync FAIL reply with its message.
std::string syncFail(const std::string& message) {
    std::string out;
    putLe32(out, ID_FAIL);
    putLe32(out, uint32_t(message.size()));
    return out + message;
}

} // namespace

void PhoneSession::run() {
    Packet packet;
    while (readPacket(m_fd, packet)) {
        if (m_phone.silent)
            continue;
        if (!handle(packet) || !pump())
            return;
    }
}

bool PhoneSession::send(uint32_t command, uint32_t arg0, uint32_t arg1, std::string payload) {
    Packet packet;
    packet.command = command;
    packet.arg0 = arg0;
    packet.arg1 = arg1;
    packet.payload = std::move(payload);
    return writePacket(m_fd, packet);
}

bool PhoneSession::handle(const Packet& packet) {
    if (packet.command == A_CNXN) {
        // No AUTH: the phone trusts every host, which the client accepts.
        m_maxPayload = std::min(packet.arg1 ? packet.arg1 : 4096u, kPhoneMaxPayload);
        m_streams.clear();
        return send(A_CNXN, kAdbVersion, kPhoneMaxPayload, std::string(kBanner));
    }
    if (packet.command == A_OPEN) {
        openStream(packet);
        return true;
    }
    auto it = m_streams.find(packet.arg1);
    if (packet.command == A_OKAY) {
        if (it != m_streams.end())
            it->second.awaitingOkay = false;
        return true;
    }
    if (packet.command == A_CLSE) {
        if (it != m_streams.end())
            m_streams.erase(it);
        return true;
    }
    if (packet.command == A_WRTE) {
        if (it == m_streams.end())
            return send(A_CLSE, 0, packet.arg0);
        Stream& stream = it->second;
        if (!send(A_OKAY, it->first, stream.remoteId))
            return false;
        // Shell input (the client's stdin and its close) is not needed.
        if (stream.sync) {
            stream.input += packet.payload;
            serveSync(stream);
        }
        return true;
    }
    return true;
}

void PhoneSession::openStream(const Packet& packet) {
    std::string service = packet.payload.substr(0, packet.payload.find('\0'));
    bool shell = service.rfind("shell:", 0) == 0 || service.rfind("shell,", 0) == 0;
    bool sync = service == "sync:";
    if (!shell && !sync) {
        send(A_CLSE, 0, packet.arg0);
        return;
    }
    uint32_t id = m_nextId++;
    Stream& stream = m_streams[id];
    stream.remoteId = packet.arg0;
    stream.sync = sync;
    send(A_OKAY, id, stream.remoteId);
    if (shell)
        runShell(stream, service);
}

void PhoneSession::runShell(Stream& stream, const std::string& service) {
    std::string::size_type colon = service.find(':');
    std::string options = service.substr(0, colon);
    std::string command = service.substr(colon + 1);
    bool v2 = options.find(",v2") != std::string::npos;

    std::string err;
    int status = 0;
    std::vector<std::string> words = wordsOf(command);
    bool chmodThroughSu = words.size() == 5 && words[0] == "su" && words[1] == "root" &&
                          words[2] == "chmod" && words[3] == "777";
    if (chmodThroughSu && !m_phone.rooted) {
        err = "/system/bin/sh: su: inaccessible or not found\n";
        status = 127;
    } else if (chmodThroughSu) {
        struct stat st;
        std::string path = hostPath(words[4]);
        if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
            m_phone.readable.insert(words[4]);
        } else {
            err = "chmod: " + words[4] + ": No such file or directory\n";
            status = 1;
        }
    } else {
        err = "/system/bin/sh: " + (words.empty() ? command : words[0]) + ": not found\n";
        status = 127;
    }

    if (v2) {
        if (!err.empty())
            stream.output += shellPacket(2, err);
        stream.output += shellPacket(3, std::string(1, char(status)));
    } else {
        stream.output += err;
    }
    stream.closeWhenSent = true;
}

void PhoneSession::serveSync(Stream& stream) {
    while (stream.input.size() >= 8 && !stream.closeWhenSent) {
        uint32_t id = getLe32(stream.input.data());
        uint32_t length = getLe32(stream.input.data() + 4);
        if (id == ID_QUIT) {
            stream.closeWhenSent = true;
            break;
        }
        if (stream.input.size() < 8 + size_t(length))
            break;
        std::string path = stream.input.substr(8, length);
        stream.input.erase(0, 8 + size_t(length));

        if (id == ID_STAT) {
            // The old stat reply has no error field: a path the shell user
            // cannot see reads as all zeros, as on a phone that denies it.
            struct stat st;
            std::string host = hostPath(path);
            bool visible = canRead(path) && ::stat(host.c_str(), &st) == 0;
            putLe32(stream.output, ID_STAT);
            putLe32(stream.output, visible ? uint32_t(st.st_mode) : 0);
            putLe32(stream.output, visible ? uint32_t(st.st_size) : 0);
            putLe32(stream.output, visible ? uint32_t(st.st_mtime) : 0);
        } else if (id == ID_RECV) {
            std::ifstream file(hostPath(path), std::ios::binary);
            if (!canRead(path) || !file) {
                stream.output += syncFail("open failed: Permission denied");
                continue;
            }
            std::vector<char> chunk(kSyncDataMax);
            while (file.read(chunk.data(), std::streamsize(chunk.size())) || file.gcount() > 0) {
                putLe32(stream.output, ID_DATA);
                putLe32(stream.output, uint32_t(file.gcount()));
                stream.output.append(chunk.data(), size_t(file.gcount()));
            }
            putLe32(stream.output, ID_DONE);
            putLe32(stream.output, 0);
        } else {
            stream.output += syncFail("unsupported request");
        }
    }
}

bool PhoneSession::pump() {
    for (auto it = m_streams.begin(); it != m_streams.end();) {
        Stream& stream = it->second;
        if (stream.awaitingOkay) {
            ++it;
            continue;
        }
        if (!stream.output.empty()) {
            // One WRTE at a time per stream: the next waits for the host's OKAY.
            size_t size = std::min<size_t>(stream.output.size(), m_maxPayload);
            if (!send(A_WRTE, it->first, stream.remoteId, stream.output.substr(0, size)))
                return false;
            stream.output.erase(0, size);
            stream.awaitingOkay = true;
            ++it;
        } else if (stream.closeWhenSent) {
            if (!send(A_CLSE, it->first, stream.remoteId))
                return false;
            it = m_streams.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

std::string PhoneSession::hostPath(const std::string& phonePath) const {
    if (phonePath.empty() || phonePath[0] != '/' || phonePath.find("/..") != std::string::npos)
        return {};
    return m_phone.rootFolder + phonePath;
}

bool PhoneSession::canRead(const std::string& phonePath) const {
    return m_phone.readable.count(phonePath) > 0;
}

} // namespace adbphone
