#include "scenario/expect.hpp"

#include <algorithm>
#include <charconv>
#include <functional>
#include <iterator>
#include <type_traits>

#include "base/hex.hpp"
#include "wire/msg_catalog.hpp"
#include "wire/trace_keys.hpp"

namespace zep::sim {

namespace {

std::optional<std::uint64_t> wholeNumber(std::string_view text)
{
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return v;
}

// One value or a list of them, each as read reads it; nothing for a missing key.
template <class Read>
auto oneOrMore(const std::optional<Node> &node, Read read)
{
    std::vector<std::invoke_result_t<Read, const Node &>> out;
    if (node && node->isScalar()) {
        out.push_back(std::invoke(read, *node));
    } else if (node) {
        std::ranges::transform(node->items(), std::back_inserter(out), read);
    }
    return out;
}

std::vector<u32> ids(const std::optional<Node> &node)
{
    return oneOrMore(node, [](const Node &n) { return n.integer<u32>(); });
}

std::map<u32, Count> idCounts(const std::optional<Node> &node)
{
    std::map<u32, Count> out;
    if (node) {
        for (const auto &[key, value] : Fields(*node).all()) {
            out[key.integer<u32>()] = Count::parse(value);
        }
    }
    return out;
}

std::string show(std::span<const u32> values)
{
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += (i == 0 ? "" : ", ") + std::to_string(values[i]);
    }
    return out + "]";
}

std::string statusText(const std::optional<u32> &status)
{
    return status ? std::to_string(*status) : "none (no handler)";
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

Count Count::parse(const Node &node)
{
    const std::string text = node.scalar();
    std::string_view t = text;
    const auto number = [&](std::string_view digits) {
        const auto v = wholeNumber(digits);
        if (!v) {
            node.fail("expected a count: N, >=N, <=N, >N, <N or N..M, got \"" + text + "\"");
        }
        return *v;
    };
    Count c;
    c.text = text;
    if (t.starts_with(">=")) {
        c.lo = number(t.substr(2));
    } else if (t.starts_with("<=")) {
        c.hi = number(t.substr(2));
    } else if (t.starts_with(">")) {
        c.lo = number(t.substr(1)) + 1;
    } else if (t.starts_with("<")) {
        const std::uint64_t n = number(t.substr(1));
        if (n == 0) {
            node.fail("\"<0\" can never hold");
        }
        c.hi = n - 1;
    } else if (const auto dots = t.find(".."); dots != std::string_view::npos) {
        c.lo = number(t.substr(0, dots));
        c.hi = number(t.substr(dots + 2));
        if (c.lo > c.hi) {
            node.fail("empty range \"" + text + "\"");
        }
    } else {
        c.lo = c.hi = number(t);
    }
    return c;
}

namespace {

// A YAML value as JSON; unquoted scalars become numbers, booleans or null when they read so.
Json yamlToJson(const YAML::Node &node)
{
    if (!node || node.IsNull()) {
        return nullptr;
    }
    if (node.IsSequence()) {
        Json out = Json::array();
        for (const YAML::Node &item : node) {
            out.push_back(yamlToJson(item));
        }
        return out;
    }
    if (node.IsMap()) {
        Json out = Json::object();
        for (const auto &kv : node) {
            out[kv.first.Scalar()] = yamlToJson(kv.second);
        }
        return out;
    }
    const std::string &text = node.Scalar();
    if (node.Tag() == "?") {  // plain, not quoted
        if (text == "true" || text == "false") {
            return text == "true";
        }
        if (text == "null" || text == "~") {
            return nullptr;
        }
        std::string_view digits = text;
        const bool negative = digits.starts_with('-');
        if (negative) {
            digits.remove_prefix(1);
        }
        if (const auto v = wholeNumber(digits); v && (digits.size() == 1 || digits[0] != '0')) {
            if (negative) {
                return -static_cast<std::int64_t>(*v);
            }
            return *v;
        }
    }
    return text;
}

// Subset match of a pattern against a trace object: keys of a map are looked up,
// each item of a list must match some item, strings match as substrings, other
// values must be equal.
bool matchesPattern(const Json &pattern, const Json &value)
{
    if (pattern.is_object()) {
        if (!value.is_object()) {
            return false;
        }
        for (const auto &[key, sub] : pattern.items()) {
            const auto it = value.find(key);
            if (it == value.end() || !matchesPattern(sub, *it)) {
                return false;
            }
        }
        return true;
    }
    if (pattern.is_array()) {
        // Each item of the pattern must match some item of the list.
        if (!value.is_array()) {
            return false;
        }
        return std::all_of(pattern.begin(), pattern.end(), [&](const Json &want) {
            return std::any_of(value.begin(), value.end(),
                               [&](const Json &have) { return matchesPattern(want, have); });
        });
    }
    if (pattern.is_string()) {
        return value.is_string() &&
               value.get_ref<const std::string &>().find(pattern.get_ref<const std::string &>()) !=
                   std::string::npos;
    }
    return pattern == value;
}

// A pattern's "ev" matches as a substring ("fail" is outfail and ipcfail), so
// its keys may be those of any kind it names.
std::vector<std::string_view> keysOfKindsLike(const std::string &ev)
{
    std::vector<std::string_view> keys;
    for (const auto &[kind, kindKeys] : traceKinds()) {
        if (kind.find(ev) != std::string_view::npos) {
            keys.insert(keys.end(), kindKeys.begin(), kindKeys.end());
        }
    }
    return keys;
}

// Refuses a key that no event the pattern can match carries: a misspelt key
// would otherwise match nothing, and fail only when the run reaches it.
void checkPatternKeys(const Node &item, const Json &pattern)
{
    const auto ev = pattern.find("ev");
    const bool named = ev != pattern.end() && ev->is_string();
    const std::vector<std::string_view> keys =
        named ? keysOfKindsLike(ev->get<std::string>()) : std::vector<std::string_view>{};
    if (named && keys.empty()) {
        item.fail("no trace event is \"" + ev->get<std::string>() + "\"");
    }
    for (const auto &[key, value] : pattern.items()) {
        const bool known = named ? std::find(keys.begin(), keys.end(), key) != keys.end()
                                 : isTraceKey(key);
        if (!known) {
            item.fail("no " + (named ? "\"" + ev->get<std::string>() + "\" event" : std::string("trace event")) +
                      " has the key \"" + key + "\"");
        }
    }
}

// A MAC in a pattern, however spelt (001122334455, 00-11-..., upper case),
// matches the trace's one spelling, aa:bb:cc:dd:ee:ff. Bodies and log texts
// are left as written.
void spellMacsAsTheTrace(Json &pattern)
{
    for (auto &[key, value] : pattern.items()) {
        if (key == "hex" || key == "text") {
            continue;
        }
        if (value.is_structured()) {
            spellMacsAsTheTrace(value);
        } else if (value.is_string()) {
            if (const auto mac = host::parseMac(value.get<std::string>())) {
                value = macText(*mac);
            }
        }
    }
}

// The checks on what the window saw: counts, statuses, log texts.
void parseWindowChecks(const Fields &f, Expect &e)
{
    e.sent = idCounts(f.get("sent"));
    e.in = idCounts(f.get("in"));
    e.ipc = f.given("ipc", Count::parse);
    e.ipcBytes = f.given("ipcBytes", ids);
    if (const auto n = f.get("status")) {
        e.checkStatus = true;
        if (n->scalar() != "none") {
            e.status = n->integer<u32>();
        }
    }
    e.logContains = oneOrMore(f.get("logContains"), &Node::scalar);
    e.noLog = oneOrMore(f.get("noLog"), &Node::scalar);
    if (const auto n = f.get("logCount")) {
        for (const auto &[key, value] : Fields(*n).all()) {
            e.logCount.emplace_back(key.scalar(), Count::parse(value));
        }
    }
}

EventPattern parsePattern(const Node &item)
{
    if (!item.isMap()) {
        item.fail("an event pattern is a map such as {ev: out, id: 167}");
    }
    EventPattern p;
    p.pattern = yamlToJson(item.yaml());
    p.count = Count{1, std::numeric_limits<std::uint64_t>::max(), ">=1"};
    if (const auto c = p.pattern.find("count"); c != p.pattern.end()) {
        p.count = Count::parse(Node(item.yaml()["count"], item.fileRef(), item.line()));
        p.pattern.erase("count");
    }
    checkPatternKeys(item, p.pattern);
    spellMacsAsTheTrace(p.pattern);
    // A pattern is echoed in failure messages; bytes that are not UTF-8 show replaced.
    p.text = p.pattern.dump(-1, ' ', false, Json::error_handler_t::replace);
    return p;
}

// The checks on the state now: tables, lists, handlers, heap, timers.
void parseStateChecks(const Fields &f, Expect &e)
{
    e.tableSize = idCounts(f.get("tableSize"));
    for (const Node &item : f.list("comeasSize")) {
        const Fields c(item);
        e.comeasSize.push_back(ListSizeCheck{c.integer<u32>("radio"), c.integer<u32>("channel"),
                                             Count::parse(c.at("size"))});
        c.finish();
    }
    e.registered = ids(f.get("handlerRegistered"));
    e.notRegistered = ids(f.get("handlerNotRegistered"));
    e.leaks = f.given("leaks", Count::parse);
    e.timers = f.given("timers", Count::parse);
}

}  // namespace

Expect parseExpect(const Node &node)
{
    const Fields f(node);
    Expect e;
    parseWindowChecks(f, e);
    for (const Node &item : f.list("events")) {
        e.events.push_back(parsePattern(item));
    }
    parseStateChecks(f, e);
    f.finish();
    return e;
}

void Window::watch(const Expect &expect)
{
    for (const auto &[id, count] : expect.in) {
        tallies_.try_emplace(tallyKey(EventKind::In, id), 0);
    }
    for (const auto &[id, count] : expect.sent) {
        tallies_.try_emplace(tallyKey(EventKind::Out, id), 0);
    }
    if (expect.ipcBytes) {
        ipcSizesKept_ = std::max(ipcSizesKept_, expect.ipcBytes->size() + 1);
    }
    for (const auto *texts : {&expect.logContains, &expect.noLog}) {
        for (const std::string &text : *texts) {
            logs_.try_emplace(text);
        }
    }
    for (const auto &[text, count] : expect.logCount) {
        logs_.try_emplace(text);
    }
    for (const EventPattern &p : expect.events) {
        patterns_.try_emplace(p.text, PatternHits{p.pattern, 0});
    }
}

void Window::add(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::In:
    case EventKind::Out:
        if (const auto it = tallies_.find(tallyKey(ev.kind, ev.id)); it != tallies_.end()) {
            ++it->second;
        }
        break;
    case EventKind::Ipc:
        if (ipcSizes_.size() < ipcSizesKept_) {
            ipcSizes_.push_back(static_cast<u32>(ev.body.size()));
        }
        ++ipcCount_;
        break;
    case EventKind::Log:
        for (auto &[text, hits] : logs_) {
            if (ev.text.find(text) != std::string::npos && hits.lines++ == 0) {
                hits.first = ev.text;
            }
        }
        break;
    default:
        break;
    }
    for (auto &[text, hits] : patterns_) {
        hits.n += ev.json && matchesPattern(hits.pattern, *ev.json) ? 1 : 0;
    }
}

void Window::clear()
{
    for (auto &[key, n] : tallies_) {
        n = 0;
    }
    ipcCount_ = 0;
    ipcSizes_.clear();
    for (auto &[text, hits] : logs_) {
        hits = {};
    }
    for (auto &[text, hits] : patterns_) {
        hits.n = 0;
    }
}

const Window::LogHits &Window::logHits(const std::string &text) const
{
    static const LogHits kNone;
    const auto it = logs_.find(text);
    return it == logs_.end() ? kNone : it->second;
}

std::uint64_t Window::patternHits(const std::string &patternText) const
{
    const auto it = patterns_.find(patternText);
    return it == patterns_.end() ? 0 : it->second.n;
}

std::uint64_t Window::count(EventKind kind, u32 id) const
{
    const auto it = tallies_.find(tallyKey(kind, id));
    return it == tallies_.end() ? 0 : it->second;
}

namespace {

using Failures = std::vector<std::string>;

void checkCount(Failures &failures, const std::string &what, const Count &want, std::uint64_t got)
{
    if (!want.matches(got)) {
        failures.push_back(what + ": expected " + want.text + ", got " + std::to_string(got));
    }
}

void checkMessages(Failures &failures, const Expect &expect, const Window &window)
{
    for (const auto &[id, want] : expect.sent) {
        checkCount(failures, "sent " + msgLabel(id), want, window.count(EventKind::Out, id));
    }
    for (const auto &[id, want] : expect.in) {
        checkCount(failures, "delivered " + msgLabel(id), want, window.count(EventKind::In, id));
    }
    if (expect.ipc) {
        checkCount(failures, "IPC messages", *expect.ipc, window.ipcCount());
    }
    const std::vector<u32> &ipcSizes = window.ipcSizes();
    if (expect.ipcBytes && *expect.ipcBytes != ipcSizes) {
        const std::uint64_t unseen = window.ipcCount() - ipcSizes.size();
        failures.push_back("IPC message lengths: expected " + show(*expect.ipcBytes) + ", got " +
                           show(ipcSizes) +
                           (unseen == 0 ? "" : " and " + std::to_string(unseen) + " more"));
    }
}

void checkStatus(Failures &failures, const Expect &expect, const LastStatus &last)
{
    if (!expect.checkStatus) {
        return;
    }
    if (!last.seen) {
        failures.push_back("status: no step since the previous expect returned one");
    } else if (last.status != expect.status) {
        failures.push_back("status of " + last.step + ": expected " + statusText(expect.status) +
                           ", got " + statusText(last.status));
    }
}

void checkLogs(Failures &failures, const Expect &expect, const Window &window)
{
    for (const std::string &text : expect.logContains) {
        if (window.logHits(text).lines == 0) {
            failures.push_back("no log line contains \"" + text + "\"");
        }
    }
    for (const std::string &text : expect.noLog) {
        if (const Window::LogHits &hits = window.logHits(text); hits.lines != 0) {
            failures.push_back("a log line contains \"" + text + "\": " + trimmed(hits.first));
        }
    }
    for (const auto &[text, want] : expect.logCount) {
        checkCount(failures, "log lines containing \"" + text + "\"", want, window.logHits(text).lines);
    }
}

void checkPatterns(Failures &failures, const Expect &expect, const Window &window)
{
    for (const EventPattern &p : expect.events) {
        checkCount(failures, "events matching " + p.text, p.count, window.patternHits(p.text));
    }
}

void checkTables(Failures &failures, const Expect &expect, StateProbe &probe)
{
    for (const auto &[radio, want] : expect.tableSize) {
        const std::string what = "table size of radio " + std::to_string(radio);
        if (const auto size = probe.tableSize(radio)) {
            checkCount(failures, what, want, *size);
        } else {
            failures.push_back(what + ": the dump (RPC 69) is not available");
        }
    }
    for (const ListSizeCheck &c : expect.comeasSize) {
        const std::string what = "co-measurement list of radio " + std::to_string(c.radio) +
                                 " channel " + std::to_string(c.channel);
        if (const auto size = probe.comeasSize(c.radio, c.channel)) {
            checkCount(failures, what, c.size, *size);
        } else {
            failures.push_back(what + ": the dump (RPC 70) is not available");
        }
    }
}

void checkHost(Failures &failures, const Expect &expect, StateProbe &probe)
{
    for (const u32 id : expect.registered) {
        if (!probe.handlerRegistered(id)) {
            failures.push_back("no handler registered for " + msgLabel(id));
        }
    }
    for (const u32 id : expect.notRegistered) {
        if (probe.handlerRegistered(id)) {
            failures.push_back("a handler is still registered for " + msgLabel(id));
        }
    }
    if (expect.leaks) {
        checkCount(failures, "live heap blocks", *expect.leaks, probe.liveBlocks());
    }
    if (expect.timers) {
        checkCount(failures, "running timers", *expect.timers, probe.activeTimers());
    }
}

}  // namespace

std::vector<std::string> checkExpect(const Expect &expect, const Window &window,
                                     const LastStatus &last, StateProbe &probe)
{
    Failures failures;
    checkMessages(failures, expect, window);
    checkStatus(failures, expect, last);
    checkLogs(failures, expect, window);
    checkPatterns(failures, expect, window);
    checkTables(failures, expect, probe);
    checkHost(failures, expect, probe);
    return failures;
}

}  // namespace zep::sim
