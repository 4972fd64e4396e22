// The progress of a long run on standard error, "Recovering: 42%", redrawn
// in place. Shown only when standard error is a terminal: a pipe or a log
// file gets nothing extra, so scripts see the same bytes as before.
#pragma once

#include <string>

namespace fennaro::cli {

class ProgressLine {
  public:
    // A line headed by label; shown when standard error is a terminal.
    explicit ProgressLine(std::string label);
    // The same, shown only when enabled.
    ProgressLine(std::string label, bool enabled);
    // Ends the line if it was drawn.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Redraws the line at percent (clamped to 0..100) when it changed.
    void show(int percent);
    // Ends the drawn line with a line feed, so what follows starts on a line
    // of its own; nothing when the line was never drawn.
    void finish();

  private:
    std::string m_label;
    bool m_enabled = false;
    int m_shown = -1;
};

} // namespace fennaro::cli
