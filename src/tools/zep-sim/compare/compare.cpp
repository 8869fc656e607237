#include "compare/compare.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <deque>
#include <iomanip>
#include <sstream>
#include <string_view>

namespace zep::sim::compare {

namespace {

// Trace keys that hold wall-clock costs: they change from one run to the next.
constexpr std::array<std::string_view, 4> kCostKeys = {"ns", "costNs", "elapsedNs", "wallNs"};

constexpr std::size_t kContextBefore = 3;
constexpr std::size_t kContextAfter = 3;
constexpr std::size_t kShownChars = 160;

// "cost min/avg/max = 3/5/9 ms." keeps its words and loses its figures.
std::string blankCostFigures(std::string text)
{
    constexpr std::string_view kWord = "cost";
    constexpr std::size_t kMaxGapToEquals = 24;
    for (std::size_t at = text.find(kWord); at != std::string::npos; at = text.find(kWord, at + 1)) {
        const std::size_t eq = text.find('=', at);
        if (eq == std::string::npos || eq - at > kMaxGapToEquals) {
            continue;
        }
        std::size_t from = eq + 1;
        while (from < text.size() && text[from] == ' ') {
            ++from;
        }
        std::size_t to = from;
        while (to < text.size() && (std::isdigit(static_cast<unsigned char>(text[to])) != 0 ||
                                    text[to] == '/')) {
            ++to;
        }
        if (to > from) {
            text.replace(from, to - from, "*");
        }
    }
    return text;
}

std::string shown(const Json &value)
{
    std::string s = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (s.size() > kShownChars) {
        s.resize(kShownChars);
        s += "...";
    }
    return s;
}

// Two texts shown around the first character where they part, so that a long
// log line points at the figure that changed.
FieldDifference textDifference(const std::string &a, const std::string &b)
{
    constexpr std::size_t kAround = 24;
    const auto parted = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    const std::size_t at = static_cast<std::size_t>(parted.first - a.begin());
    const std::size_t from = at > kAround ? at - kAround : 0;
    const auto around = [&](const std::string &s) {
        const std::string cut = s.substr(from, 2 * kAround);
        return shown(Json(from > 0 ? "..." + cut : cut));
    };
    return FieldDifference{"", around(a), around(b)};
}

std::string timeOf(const Json &event)
{
    const auto t = event.find("t");
    if (t == event.end() || !t->is_number_unsigned()) {
        return "";
    }
    const auto ms = t->get<std::uint64_t>();
    std::ostringstream s;
    s << " (t " << ms / 1000 << '.' << std::setw(3) << std::setfill('0') << ms % 1000 << " s)";
    return s.str();
}

// A trace line shown as compared; a line that is not JSON is shown as it is.
std::string shownLine(const std::string &text)
{
    Json line = Json::parse(text, nullptr, false);
    if (line.is_discarded()) {
        return text.size() > kShownChars ? text.substr(0, kShownChars) + "..." : text;
    }
    return shown(comparable(std::move(line)));
}

// One trace, read a line at a time; step markers are consumed on the way and
// remembered as the step that led to what follows. Lines are parsed only when
// their text differs from the other side's: most of a long trace is the same
// to the byte, and reading it as text is many times faster.
class Cursor {
public:
    Cursor(std::istream &in, std::string side) : in_(in), side_(std::move(side)) {}

    std::optional<std::string> nextLine()
    {
        std::string text;
        while (std::getline(in_, text)) {
            ++lineNo_;
            if (text.empty()) {
                continue;
            }
            if (text.starts_with(kStepPrefix)) {
                rememberStep(text);
                continue;
            }
            ++events_;
            return text;
        }
        return std::nullopt;
    }

    // The line just read, as compared; throws when it is not a trace object.
    Json event(const std::string &text) const
    {
        Json line = Json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object()) {
            throw std::runtime_error("line " + std::to_string(lineNo_) + " of " + side_ +
                                     " is not a trace object");
        }
        return comparable(std::move(line));
    }

    std::size_t events() const { return events_; }
    const std::string &step() const { return step_; }

private:
    static constexpr std::string_view kStepPrefix = "{\"step\":";

    void rememberStep(const std::string &text)
    {
        const Json line = Json::parse(text, nullptr, false);
        if (line.is_discarded()) {
            return;
        }
        step_ = "step " + std::to_string(line.value("step", std::size_t{0}) + 1) + " `" +
                line.value("op", "") + "` (line " + std::to_string(line.value("line", 0)) + ")";
    }

    std::istream &in_;
    std::string side_;
    std::size_t lineNo_ = 0;
    std::size_t events_ = 0;
    std::string step_;
};

void showFollowing(std::ostream &out, const char *side, std::size_t first,
                   const std::optional<std::string> &at, Cursor &cursor)
{
    if (!at) {
        out << "  " << side << "  (ends after " << first - 1 << " events)\n";
        return;
    }
    out << "  " << side << std::setw(7) << first << "  " << shownLine(*at) << '\n';
    for (std::size_t i = 1; i <= kContextAfter; ++i) {
        const std::optional<std::string> line = cursor.nextLine();
        if (!line) {
            break;
        }
        out << "  " << side << std::setw(7) << first + i << "  " << shownLine(*line) << '\n';
    }
}

std::string headline(const std::optional<Json> &a, const std::optional<Json> &b)
{
    if (!a || !b) {
        return std::string(": ") + (a ? "B" : "A") + " ends there";
    }
    const std::optional<FieldDifference> d = firstDifference(*a, *b);
    return timeOf(*a) + ": " + d->path + " is " + d->a + " in A, " + d->b + " in B";
}

struct Side {
    Cursor &cursor;
    std::optional<std::string> line;
    std::optional<Json> event;
};

void reportDifference(std::ostream &out, const std::string &name, const Labels &labels,
                      const std::deque<std::string> &before, Side a, Side b)
{
    const std::size_t index = std::max(a.cursor.events(), b.cursor.events());
    out << name << ": differs at event " << index << headline(a.event, b.event) << '\n';
    if (!a.cursor.step().empty()) {
        out << "  led to by " << a.cursor.step();
        if (b.cursor.step() != a.cursor.step()) {
            out << " in A, " << b.cursor.step() << " in B";
        }
        out << '\n';
    }
    out << "  A = " << labels.a << "\n  B = " << labels.b << '\n';
    std::size_t n = index - before.size();
    for (const std::string &line : before) {
        out << "   " << std::setw(7) << n++ << "  " << shownLine(line) << '\n';
    }
    showFollowing(out, "A", index, a.line, a.cursor);
    showFollowing(out, "B", index, b.line, b.cursor);
}

}  // namespace

Json stepMarker(std::size_t index, int line, const std::string &op)
{
    return Json{{"step", index}, {"line", line}, {"op", op}};
}

Json comparable(Json event)
{
    if (!event.is_object()) {
        return event;
    }
    for (std::string_view key : kCostKeys) {
        event.erase(std::string(key));
    }
    const auto text = event.find("text");
    if (event.value("ev", "") == "log" && text != event.end() && text->is_string()) {
        *text = blankCostFigures(text->get<std::string>());
    }
    return event;
}

std::optional<FieldDifference> firstDifference(const Json &a, const Json &b)
{
    const auto absent = [](const std::string &path, const Json &here, bool inA) {
        return FieldDifference{path, inA ? shown(here) : "absent", inA ? "absent" : shown(here)};
    };
    if (a.is_object() && b.is_object()) {
        for (const auto &[key, value] : a.items()) {
            const auto other = b.find(key);
            if (other == b.end()) {
                return absent(key, value, true);
            }
            if (auto d = firstDifference(value, *other)) {
                d->path = d->path.empty() ? key
                          : d->path.front() == '[' ? key + d->path
                                                   : key + "." + d->path;
                return d;
            }
        }
        for (const auto &[key, value] : b.items()) {
            if (!a.contains(key)) {
                return absent(key, value, false);
            }
        }
        return std::nullopt;
    }
    if (a.is_array() && b.is_array()) {
        for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
            const std::string here = "[" + std::to_string(i) + "]";
            if (i >= a.size() || i >= b.size()) {
                return absent(here, i < a.size() ? a[i] : b[i], i < a.size());
            }
            if (auto d = firstDifference(a[i], b[i])) {
                d->path = here + (d->path.empty() || d->path.front() == '[' ? "" : ".") + d->path;
                return d;
            }
        }
        return std::nullopt;
    }
    if (a == b) {
        return std::nullopt;
    }
    if (a.is_string() && b.is_string()) {
        return textDifference(a.get<std::string>(), b.get<std::string>());
    }
    return FieldDifference{"", shown(a), shown(b)};
}

int compareTraces(std::istream &a, std::istream &b, const std::string &name, const Labels &labels,
                  std::ostream &out)
{
    Cursor ca(a, "A");
    Cursor cb(b, "B");
    std::deque<std::string> before;
    try {
        for (;;) {
            std::optional<std::string> la = ca.nextLine();
            std::optional<std::string> lb = cb.nextLine();
            if (!la && !lb) {
                out << name << ": same (" << ca.events() << " events)\n";
                return kSame;
            }
            std::optional<Json> ea;
            std::optional<Json> eb;
            if (!la || !lb || *la != *lb) {
                ea = la ? std::optional<Json>(ca.event(*la)) : std::nullopt;
                eb = lb ? std::optional<Json>(cb.event(*lb)) : std::nullopt;
                if (!ea || !eb || *ea != *eb) {
                    reportDifference(out, name, labels, before, {ca, la, ea}, {cb, lb, eb});
                    return kDiffers;
                }
            }
            before.push_back(std::move(*la));
            if (before.size() > kContextBefore) {
                before.pop_front();
            }
        }
    } catch (const std::runtime_error &e) {
        out << name << ": " << e.what() << '\n';
        return kUnreadable;
    }
}

}  // namespace zep::sim::compare
