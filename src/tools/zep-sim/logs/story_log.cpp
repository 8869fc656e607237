#include "logs/story_log.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "logs/field_log.hpp"
#include "logs/log_source.hpp"
#include "out/syslog_writer.hpp"

namespace zep::sim::logs {

namespace {

// "2026-12-07T10:00:03.250+00:00", a syslog's ISO 8601 stamp, up to the
// first space: its ms since 1970 (the zone left aside: only gaps are read of it).
std::optional<u64> isoStampMs(std::string_view stamp)
{
    using namespace std::chrono;
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";  // d: a digit
    const auto fits = [](char shape, char c) { return shape == 'd' ? c >= '0' && c <= '9' : c == shape; };
    if (stamp.size() < kShape.size() || !std::equal(kShape.begin(), kShape.end(), stamp.begin(), fits)) {
        return std::nullopt;
    }
    const auto field = [stamp](std::size_t at, std::size_t count) {
        unsigned value = 0;
        std::from_chars(stamp.data() + at, stamp.data() + at + count, value);
        return value;
    };
    const year_month_day date{year{static_cast<int>(field(0, 4))}, month{field(5, 2)},
                              day{field(8, 2)}};
    if (!date.ok() || sys_days{date} < sys_days{}) {
        return std::nullopt;
    }
    u64 ms = static_cast<u64>(duration_cast<milliseconds>(sys_days{date}.time_since_epoch()).count());
    ms += ((u64{field(11, 2)} * 60 + field(14, 2)) * 60 + field(17, 2)) * 1000;
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
    if (const std::optional<u64> ms = isoStampMs(stamp)) {
        return {ms, no, std::string(stamp)};
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
