#include "progress_line.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace fennaro::cli {

ProgressLine::ProgressLine(std::string label)
    : ProgressLine(std::move(label), ::isatty(STDERR_FILENO) == 1) {}

ProgressLine::ProgressLine(std::string label, bool enabled)
    : m_label(std::move(label)), m_enabled(enabled) {}

ProgressLine::~ProgressLine() {
    finish();
}

void ProgressLine::show(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!m_enabled || percent == m_shown)
        return;
    m_shown = percent;
    std::fprintf(stderr, "\r%s: %3d%%", m_label.c_str(), percent);
    std::fflush(stderr);
}

void ProgressLine::finish() {
    if (m_shown < 0)
        return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    m_shown = -1;
}

} // namespace fennaro::cli
