#include "logs/story_log.hpp"

#include <chrono>

#include "logs/field_log.hpp"
#include "logs/log_source.hpp"
#include "out/syslog_writer.hpp"

namespace zep::sim::logs {

namespace {

std::optional<unsigned> digitsAt(std::string_view text, std::size_t at, std::size_t count)
{
    unsigned value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return value;
}

// "2026-12-07T10:00:03.250+00:00", a syslog's ISO 8601 stamp, up to the
// first space: its ms since 1970 (the zone left aside: only gaps are read of it).
std::optional<u64> isoStampMs(std::string_view stamp)
{
    using namespace std::chrono;
    const auto y = digitsAt(stamp, 0, 4);
    const auto mo = digitsAt(stamp, 5, 2);
    const auto d = digitsAt(stamp, 8, 2);
    const auto h = digitsAt(stamp, 11, 2);
    const auto mi = digitsAt(stamp, 14, 2);
    const auto s = digitsAt(stamp, 17, 2);
    if (!y || !mo || !d || !h || !mi || !s || stamp[4] != '-' || stamp[7] != '-' || stamp[10] != 'T' ||
        stamp[13] != ':' || stamp[16] != ':') {
        return std::nullopt;
    }
    const year_month_day date{year{static_cast<int>(*y)}, month{*mo}, day{*d}};
    if (!date.ok() || sys_days{date} < sys_days{}) {
        return std::nullopt;
    }
    u64 ms = static_cast<u64>(duration_cast<milliseconds>(sys_days{date}.time_since_epoch()).count());
    ms += ((u64{*h} * 60 + *mi) * 60 + *s) * 1000;
    if (stamp.size() > 20 && stamp[19] == '.') {
        u64 scale = 100;
        for (std::size_t i = 20; i < stamp.size() && scale != 0 && stamp[i] >= '0' && stamp[i] <= '9'; ++i) {
            ms += static_cast<u64>(stamp[i] - '0') * scale;
            scale /= 10;
        }
    }
    return ms;
}

// The time a line's prefix tells, as written: a syslog date ("Jan  1
// 00:00:02") or an ISO 8601 stamp; else the line's number alone.
StoryTime timeOfLine(std::string_view line, u64 no)
{
    if (const std::optional<u64> ms = syslogDateMs(line)) {
        return {ms, no, std::string(line.substr(0, 15))};
    }
    const std::string_view stamp = line.substr(0, line.find(' '));
    if (stamp.size() >= 19) {
        if (const std::optional<u64> ms = isoStampMs(stamp)) {
            return {ms, no, std::string(stamp)};
        }
    }
    return {std::nullopt, no, {}};
}

}  // namespace

LogStory storyOfLog(const std::string &path, const Mac &station)
{
    StoryBuilder story(station);
    FieldLog log(path);
    log.tell(story);
    const LineHandlers handlers{
        [&](std::string_view line, u64 no) {
            story.setNow(timeOfLine(line, no));
            log.feed(line, no);
        },
        [&log](std::string_view start, u64 length, u64) { log.feedLong(start, length); }};
    const bool whole = readLogLines(path, handlers);
    log.finish();
    return {story.finish(), whole};
}

}  // namespace zep::sim::logs
