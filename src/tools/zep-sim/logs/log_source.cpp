#include "logs/log_source.hpp"

#include <cstring>
#include <optional>
#include <vector>

namespace zep::sim::logs
{

namespace
{

// Room for the longest whole line and more: every read brings at least three
// times as much as a line carried over from the read before.
constexpr std::size_t kBuffer = 4 * kMaxLogLine;

// Cuts a file's bytes into lines as they arrive, a buffer at a time.
class LineSplitter
{
  public:
    explicit LineSplitter(const LineHandlers &handlers) : handlers_(handlers) {}

    // Where the next bytes go: after the start of a line that is not yet whole.
    std::span<char> room() { return std::span(buffer_).subspan(kept_); }
    // n bytes arrived in room().
    void arrived(std::size_t n)
    {
        const std::size_t filled = kept_ + n;
        std::size_t at = skipping_ ? finishLongLine(filled) : 0;
        at = splitWhole(at, filled);
        kept_ = filled - at;
        if (kept_ > kMaxLogLine) {
            skipping_ = LongLine{std::string(buffer_.data() + at, kLongLineStart), kept_};
            kept_ = 0;
        } else {
            std::memmove(buffer_.data(), buffer_.data() + at, kept_);
        }
    }
    // The end of the file: a last line without its line feed.
    void end()
    {
        if (skipping_) {
            handlers_.longLine(skipping_->start, skipping_->length, ++lineNo_);
        } else if (kept_ > 0) {
            handlers_.line(std::string_view(buffer_.data(), kept_), ++lineNo_);
        }
    }

  private:
    struct LongLine {
        std::string start;
        u64 length = 0;
    };

    // A line past the cap goes on until a line feed; returns where the next line begins.
    std::size_t finishLongLine(std::size_t filled)
    {
        const std::size_t end = std::string_view(buffer_.data(), filled).find('\n');
        if (end == std::string_view::npos) {
            skipping_->length += filled;
            return filled;
        }
        handlers_.longLine(skipping_->start, skipping_->length + end, ++lineNo_);
        skipping_.reset();
        return end + 1;
    }
    // Hands out the whole lines of buffer_[at, filled); returns where the first unfinished one
    // begins.
    std::size_t splitWhole(std::size_t at, std::size_t filled)
    {
        const std::string_view bytes(buffer_.data(), filled);
        std::size_t end = 0;
        while ((end = bytes.find('\n', at)) != std::string_view::npos) {
            const std::string_view line = bytes.substr(at, end - at);
            if (line.size() > kMaxLogLine) {
                handlers_.longLine(line.substr(0, kLongLineStart), line.size(), ++lineNo_);
            } else {
                handlers_.line(line, ++lineNo_);
            }
            at = end + 1;
        }
        return at;
    }

    const LineHandlers &handlers_;
    std::vector<char> buffer_ = std::vector<char>(kBuffer);
    std::size_t kept_ = 0; // bytes of an unfinished line at the front of buffer_
    std::optional<LongLine> skipping_;
    u64 lineNo_ = 0;
};

} // namespace

bool readLogLines(const std::string &path, const LineHandlers &handlers)
{
    record::InputFile file(path);
    LineSplitter lines(handlers);
    while (const std::size_t n = file.read(lines.room())) {
        lines.arrived(n);
    }
    lines.end();
    return !file.endedEarly();
}

} // namespace zep::sim::logs
