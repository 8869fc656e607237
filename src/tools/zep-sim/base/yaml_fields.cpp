#include "base/yaml_fields.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zep::sim {

namespace {

std::string located(const std::string &file, int line, const std::string &reason)
{
    return file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + reason;
}

}  // namespace

ScenarioError::ScenarioError(std::string file, int line, std::string reason)
    : std::runtime_error(located(file, line, reason)),
      file_(std::move(file)),
      line_(line),
      reason_(std::move(reason))
{
}

Node::Node(YAML::Node node, std::shared_ptr<const std::string> file, int fallbackLine)
    : node_(std::move(node)), file_(std::move(file)), fallbackLine_(fallbackLine)
{
}

int Node::line() const
{
    if (node_ && !node_.Mark().is_null()) {
        return node_.Mark().line + 1;
    }
    return fallbackLine_;
}

void Node::fail(const std::string &reason) const
{
    throw ScenarioError(*file_, line(), reason);
}

std::string Node::scalar() const
{
    if (!isScalar()) {
        fail(isNull() ? "a value is missing" : "expected a single value, not a list or a map");
    }
    return node_.Scalar();
}

std::int64_t Node::wholeNumber(Keywords words, bool isSigned) const
{
    const std::string text = scalar();
    for (const auto &[word, value] : words) {
        if (text == word) {
            return static_cast<std::int64_t>(value);
        }
    }
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative) {
        if (!isSigned) {
            fail("negative value " + text + " where only a value of 0 or more fits");
        }
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
        std::string expected = "expected a whole number";
        for (const auto &word : words) {
            expected += std::string(" or \"") + std::string(word.first) + "\"";
        }
        fail(expected + ", got \"" + text + "\"");
    }
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        fail("value " + text + " is too large");
    }
    const auto v = static_cast<std::int64_t>(magnitude);
    return negative ? -v : v;
}

void Node::checkRange(std::int64_t v, std::int64_t lo, std::uint64_t hi) const
{
    if (v < lo || (v > 0 && static_cast<std::uint64_t>(v) > hi)) {
        fail("value " + scalar() + " out of range " + std::to_string(lo) + ".." +
             std::to_string(hi));
    }
}

double Node::real() const
{
    const std::string text = scalar();
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) {
        fail("expected a number, got \"" + text + "\"");
    }
    return v;
}

bool Node::boolean() const
{
    std::string text = scalar();
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (text == "true" || text == "yes" || text == "on" || text == "1") {
        return true;
    }
    if (text == "false" || text == "no" || text == "off" || text == "0") {
        return false;
    }
    fail("expected true or false, got \"" + text + "\"");
}

Mac Node::mac() const
{
    const std::string text = scalar();
    if (text == "all") {
        return kBroadcastMac;
    }
    const auto mac = host::parseMac(text);
    if (!mac) {
        fail("expected a MAC address such as 00:11:22:33:44:01, got \"" + text + "\"");
    }
    return *mac;
}

std::vector<u8> Node::hex(std::size_t exact) const
{
    const std::string text = scalar();
    auto bytes = parseHex(text);
    if (!bytes) {
        fail("expected hex bytes (pairs of hex digits), got \"" + text + "\"");
    }
    if (exact != 0 && bytes->size() != exact) {
        fail("expected " + std::to_string(exact) + " bytes of hex, got " +
             std::to_string(bytes->size()));
    }
    return std::move(*bytes);
}

std::vector<Node> Node::items() const
{
    if (isNull()) {
        return {};
    }
    if (!isSequence()) {
        fail("expected a list");
    }
    std::vector<Node> out;
    for (const YAML::Node &item : node_) {
        out.emplace_back(item, file_, line());
    }
    return out;
}

Fields::Fields(const Node &map) : node_(map)
{
    if (map.isNull()) {
        return;
    }
    if (!map.isMap()) {
        map.fail("expected a map of keys and values");
    }
    for (const auto &kv : map.yaml()) {
        const Node key(kv.first, map.fileRef(), map.line());
        std::string name = key.scalar();
        if (has(name)) {
            key.fail("key \"" + name + "\" given twice");
        }
        entries_.push_back(Entry{std::move(name), key, Node(kv.second, map.fileRef(), key.line())});
    }
}

bool Fields::has(std::string_view key) const
{
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry &e) { return e.key == key; });
}

std::optional<Node> Fields::get(std::string_view key) const
{
    for (const Entry &e : entries_) {
        if (e.key == key) {
            e.used = true;
            return e.value;
        }
    }
    return std::nullopt;
}

Node Fields::at(std::string_view key) const
{
    auto n = get(key);
    if (!n) {
        node_.fail("missing key \"" + std::string(key) + "\"");
    }
    return *n;
}

std::vector<Node> Fields::list(std::string_view key) const
{
    const auto n = get(key);
    return n ? n->items() : std::vector<Node>{};
}

std::vector<std::pair<Node, Node>> Fields::all() const
{
    std::vector<std::pair<Node, Node>> out;
    for (const Entry &e : entries_) {
        e.used = true;
        out.emplace_back(e.keyNode, e.value);
    }
    return out;
}

void Fields::finish() const
{
    for (const Entry &e : entries_) {
        if (!e.used) {
            e.keyNode.fail("unknown key \"" + e.key + "\"");
        }
    }
}

}  // namespace zep::sim
