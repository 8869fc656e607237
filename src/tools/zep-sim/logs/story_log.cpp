#include "logs/story_log.hpp"

#include "logs/field_log.hpp"
#include "logs/log_source.hpp"
#include "out/syslog_writer.hpp"

namespace zep::sim::logs {

LogStory storyOfLog(const std::string &path, const Mac &station)
{
    StoryBuilder story(station);
    FieldLog log(path);
    log.tell(story);
    const LineHandlers handlers{
        [&](std::string_view line, u64 no) {
            story.setNow({syslogDateMs(line), no});
            log.feed(line, no);
        },
        [&log](std::string_view start, u64 length, u64) { log.feedLong(start, length); }};
    const bool whole = readLogLines(path, handlers);
    log.finish();
    return {story.finish(), whole};
}

}  // namespace zep::sim::logs
