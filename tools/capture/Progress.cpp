#include "tools/capture/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace capture {
namespace {

std::string Clock(uint64_t nanos, bool tenths) {
    const uint64_t t = nanos / 100'000'000;  // tenths of a second
    char buf[32];
    if (tenths)
        std::snprintf(buf, sizeof buf, "%llu:%02llu.%llu", static_cast<unsigned long long>(t / 600),
                      static_cast<unsigned long long>(t / 10 % 60),
                      static_cast<unsigned long long>(t % 10));
    else
        std::snprintf(buf, sizeof buf, "%llu:%02llu", static_cast<unsigned long long>(t / 600),
                      static_cast<unsigned long long>(t / 10 % 60));
    return buf;
}

int TerminalWidth() {
    winsize w{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col >= 40) return w.ws_col;
    return 80;
}

}  // namespace

std::string FormatProgress(const ProgressState& s, double speed, int width) {
    std::string tail = " " + Clock(s.demoNanos, true);
    if (s.endNanos) tail += " / " + Clock(*s.endNanos, true);
    tail += "  " + (s.scene.empty() ? std::string("start-up") : s.scene);
    tail += "  " + std::to_string(s.frames) + " frames";
    char buf[32];
    std::snprintf(buf, sizeof buf, "  %.1fx", speed);
    tail += buf;
    if (s.endNanos && speed > 0) {
        const uint64_t remaining = *s.endNanos > s.demoNanos ? *s.endNanos - s.demoNanos : 0;
        tail += "  " + Clock(static_cast<uint64_t>(static_cast<double>(remaining) / speed), false) +
                " left";
    } else {
        tail += "  --:-- left";
    }
    const int barWidth = std::max(0, std::min(30, width - static_cast<int>(tail.size()) - 3));
    std::string line;
    if (barWidth >= 5) {
        int filled = 0;
        if (s.endNanos && *s.endNanos > 0)
            filled = static_cast<int>(std::min(1.0, static_cast<double>(s.demoNanos) /
                                                        static_cast<double>(*s.endNanos)) *
                                      barWidth);
        line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "]";
    }
    line += tail;
    if (static_cast<int>(line.size()) > width) line.resize(width);
    return line;
}

Progress::Progress(bool enabled)
    : enabled_(enabled), tty_(isatty(STDERR_FILENO) != 0), start_(Clock::now()), last_(start_) {}

double Progress::Speed(uint64_t demoNanos) const {
    const double wall = std::chrono::duration<double>(Clock::now() - start_).count();
    return wall > 0 ? static_cast<double>(demoNanos) / 1e9 / wall : 0;
}

void Progress::Update(const ProgressState& s, bool force) {
    if (!enabled_) return;
    const auto now = Clock::now();
    const auto interval = tty_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(10000);
    if (!force && now - last_ < interval) return;
    last_ = now;
    const std::string line = FormatProgress(s, Speed(s.demoNanos), tty_ ? TerminalWidth() - 1 : 100);
    if (tty_) {
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        shown_ = true;
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    std::fflush(stderr);
}

void Progress::Clear() {
    if (enabled_ && tty_ && shown_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
    }
}

void Progress::Done(const ProgressState& s) {
    if (!enabled_) return;
    Update(s, true);
    if (tty_) std::fprintf(stderr, "\n");
    shown_ = false;
}

}  // namespace capture
