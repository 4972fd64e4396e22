#include "bench_jobs.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "phone_generator.h"

namespace benchjobs {

long statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name, 0) == 0)
            return std::atol(line.c_str() + std::strlen(name));
    }
    return 0;
}

Measure measure(const char* program, const std::string& job, const std::string& contacts,
                const std::string& sms, int repeats) {
    Measure best;
    best.seconds = 1e30;
    for (int r = 0; r < repeats; ++r) {
        int fds[2];
        if (pipe(fds) != 0)
            std::exit(1);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            execl("/proc/self/exe", program, "--job", job.c_str(), contacts.c_str(), sms.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char line[256] = {};
        const ssize_t n = read(fds[0], line, sizeof line - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        Measure m;
        if (n <= 0 || std::sscanf(line, "%lf %lf %ld %ld", &m.seconds, &m.outputBytes, &m.peakKiB,
                                  &m.privateKiB) != 4) {
            std::fprintf(stderr, "job %s failed\n", job.c_str());
            std::exit(1);
        }
        if (m.seconds < best.seconds) {
            best.seconds = m.seconds;
            best.outputBytes = m.outputBytes;
        }
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
        best.privateKiB = std::max(best.privateKiB, m.privateKiB);
    }
    return best;
}

void reportJob(double seconds, double outputBytes, long privateKiB) {
    std::printf("%.9f %.0f %ld %ld\n", seconds, outputBytes, statusField("VmHWM:"), privateKiB);
}

void ensureClassicPhone(const std::string& dir, int contacts, int messages) {
    const std::string stamp = dir + "/done";
    if (std::filesystem::exists(stamp))
        return;
    std::printf("generating %d contacts and %d messages in %s ...\n", contacts, messages,
                dir.c_str());
    std::fflush(stdout);
    testdata::PhoneSpec spec;
    spec.contacts = contacts;
    spec.messages = messages;
    spec.threads = std::max(1, messages / 50);
    spec.deleteFraction = 1.0 / 3.0;
    spec.seed = 7;
    testdata::generatePhone(dir, spec);
    std::ofstream(stamp) << "ok\n";
}

double mib(const std::string& path) {
    return double(std::filesystem::file_size(path)) / 1048576.0;
}

} // namespace benchjobs
