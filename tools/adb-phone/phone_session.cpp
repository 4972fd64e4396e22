#include "phone_session.h"

#include <algorithm>
#include <fstream>
#include <poll.h>
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

// How many bytes of a stalling file go out before it stalls.
constexpr size_t kSlowFirstBytes = 4096;

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
    using clock = std::chrono::steady_clock;
    clock::time_point idleSince = clock::now();
    for (;;) {
        // While output is held back, wake often enough to release it.
        pollfd waiting = {m_fd, POLLIN, 0};
        int ready = ::poll(&waiting, 1, holdingOutput() ? 20 : m_phone.idleSeconds * 1000);
        if (ready < 0)
            return;
        if (ready > 0) {
            Packet packet;
            if (!readPacket(m_fd, packet))
                return;
            idleSince = clock::now();
            if (m_phone.silent)
                continue;
            if (!handle(packet))
                return;
        } else if (clock::now() - idleSince >= std::chrono::seconds(m_phone.idleSeconds)) {
            return;
        }
        if (!pump())
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
    log(service);
    bool shell = service.rfind("shell:", 0) == 0 || service.rfind("shell,", 0) == 0 ||
                 service.rfind("exec:", 0) == 0;
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
    bool v2 = options.find(",v2") != std::string::npos;
    CommandResult result = runPhoneCommand(m_phone, service.substr(colon + 1));

    if (v2) {
        if (!result.out.empty())
            stream.output += shellPacket(1, result.out);
        if (!result.err.empty())
            stream.output += shellPacket(2, result.err);
        stream.output += shellPacket(3, std::string(1, char(result.status)));
    } else {
        // Without the shell protocol, standard error shares the one stream.
        stream.output += result.err + result.out;
    }
    stream.closeWhenSent = true;

    if (!result.catName.empty() && result.catName == m_phone.vanishingName) {
        stream.output.resize(stream.output.size() / 2);
        stream.vanishWhenSent = true;
    } else if (!result.catName.empty() && result.catName == m_phone.slowName &&
               stream.output.size() > kSlowFirstBytes) {
        stream.heldBack = stream.output.substr(kSlowFirstBytes);
        stream.output.resize(kSlowFirstBytes);
        stream.releaseAt =
            std::chrono::steady_clock::now() + std::chrono::seconds(m_phone.slowSeconds);
    }
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
        log("sync:" + stream.input.substr(0, 4) + " " + path);
        stream.input.erase(0, 8 + size_t(length));

        if (id == ID_STAT) {
            // The old stat reply has no error field: a path the shell user
            // cannot see reads as all zeros, as on a phone that denies it.
            struct stat st;
            std::string host = hostPathOf(m_phone, path);
            bool visible = canRead(path) && ::stat(host.c_str(), &st) == 0;
            putLe32(stream.output, ID_STAT);
            putLe32(stream.output, visible ? uint32_t(st.st_mode) : 0);
            putLe32(stream.output, visible ? uint32_t(st.st_size) : 0);
            putLe32(stream.output, visible ? uint32_t(st.st_mtime) : 0);
        } else if (id == ID_RECV) {
            std::ifstream file(hostPathOf(m_phone, path), std::ios::binary);
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
        if (!stream.heldBack.empty() && std::chrono::steady_clock::now() >= stream.releaseAt) {
            stream.output += stream.heldBack;
            stream.heldBack.clear();
        }
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
        } else if (stream.vanishWhenSent) {
            // Unplugged in the middle of a copy: the connection just ends.
            m_phone.gone = true;
            return false;
        } else if (stream.closeWhenSent && stream.heldBack.empty()) {
            if (!send(A_CLSE, it->first, stream.remoteId))
                return false;
            it = m_streams.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

bool PhoneSession::canRead(const std::string& phonePath) const {
    return m_phone.readable.count(phonePath) > 0;
}

void PhoneSession::log(const std::string& request) const {
    if (!m_phone.logFile.empty())
        std::ofstream(m_phone.logFile, std::ios::app) << request << '\n';
}

bool PhoneSession::holdingOutput() const {
    for (const auto& [id, stream] : m_streams) {
        if (!stream.heldBack.empty())
            return true;
    }
    return false;
}

} // namespace adbphone
