#include "out/progress.hpp"

#include "base/time_text.hpp"

namespace zep::sim {

namespace {

constexpr auto kQuietFor = std::chrono::seconds(2);
constexpr auto kRedrawEvery = std::chrono::milliseconds(500);

double seconds(Progress::Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

}  // namespace

Progress::Progress(std::ostream &out, u64 startMs, u64 durationMs)
    : out_(out), startMs_(startMs), durationMs_(durationMs)
{
}

void Progress::look(u64 nowMs, u64 events)
{
    const Clock::time_point now = Clock::now();
    if (now - begin_ < kQuietFor || now - lastDrawn_ < kRedrawEvery) {
        return;
    }
    const double rate = shown_ ? static_cast<double>(events - lastEvents_) / seconds(now - lastDrawn_)
                               : static_cast<double>(events) / seconds(now - begin_);
    const u64 done = nowMs - startMs_;
    std::string line = "  virtual " + formatClock(done);
    if (durationMs_ > 0) {
        line += " of " + formatClock(durationMs_);
    }
    line += "  " + formatFixed(rate / 1e6, 2) + " M events/s";
    if (durationMs_ > 0 && done > 0 && done < durationMs_) {
        const double wall = seconds(now - begin_);
        const double left = wall * static_cast<double>(durationMs_ - done) / static_cast<double>(done);
        line += "  about " + formatFixed(left, 0) + " s left";
    }
    out_ << '\r' << line << "\x1b[K" << std::flush;
    shown_ = true;
    lastDrawn_ = now;
    lastEvents_ = events;
}

void Progress::clear()
{
    if (shown_) {
        out_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }
}

}  // namespace zep::sim
