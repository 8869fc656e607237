// Typed access to the YAML scenario with the file and line of every value, so
// that each complaint about the scenario can say where the offending text is.
#pragma once

#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/hex.hpp"

namespace zep::sim {

// A scenario that cannot be read: "file:line: reason".
class ScenarioError : public std::runtime_error {
public:
    ScenarioError(std::string file, int line, std::string reason);
    const std::string &file() const { return file_; }
    int line() const { return line_; }
    const std::string &reason() const { return reason_; }

private:
    std::string file_;
    int line_;
    std::string reason_;
};

// Words that stand for a number, such as "auto" for 0xFFFFFFFF.
using Keywords = std::initializer_list<std::pair<std::string_view, std::uint64_t>>;

class Node {
public:
    Node(YAML::Node node, std::shared_ptr<const std::string> file, int fallbackLine);

    int line() const;
    const std::shared_ptr<const std::string> &fileRef() const { return file_; }
    [[noreturn]] void fail(const std::string &reason) const;

    bool isNull() const { return !node_ || node_.IsNull(); }
    bool isMap() const { return node_ && node_.IsMap(); }
    bool isSequence() const { return node_ && node_.IsSequence(); }
    bool isScalar() const { return node_ && node_.IsScalar(); }

    std::string scalar() const;  // fails on a map, a sequence or nothing
    template <class T>
    T integer(Keywords words = {}) const
    {
        using Limits = std::numeric_limits<T>;
        const std::int64_t v = wholeNumber(words, Limits::is_signed);
        checkRange(v, static_cast<std::int64_t>(Limits::min()), Limits::max());
        return static_cast<T>(v);
    }
    // A whole number the scenario chooses freely but that no run could mean
    // beyond hi (a count, a length): refused rather than attempted.
    template <class T>
    T integerIn(T lo, T hi) const
    {
        const T v = integer<T>();
        checkRange(static_cast<std::int64_t>(v), static_cast<std::int64_t>(lo), hi);
        return v;
    }
    double real() const;
    bool boolean() const;
    Mac mac() const;  // "all" is FF:FF:FF:FF:FF:FF
    // Hex bytes; exact != 0 requires that many.
    std::vector<u8> hex(std::size_t exact = 0) const;
    std::vector<Node> items() const;  // elements of a sequence

    const YAML::Node &yaml() const { return node_; }

private:
    std::int64_t wholeNumber(Keywords words, bool isSigned) const;
    void checkRange(std::int64_t v, std::int64_t lo, std::uint64_t hi) const;

    YAML::Node node_;
    std::shared_ptr<const std::string> file_;
    int fallbackLine_;
};

// The keys of one map. Every key must be read by the time finish() is called,
// so that a misspelt key is reported instead of silently ignored.
class Fields {
public:
    explicit Fields(const Node &map);  // a null node reads as an empty map

    const Node &node() const { return node_; }
    bool has(std::string_view key) const;
    Node at(std::string_view key) const;  // required key
    std::optional<Node> get(std::string_view key) const;

    template <class T>
    T integer(std::string_view key, T fallback, Keywords words = {}) const
    {
        return valueOr(key, fallback, [&](const Node &n) { return n.integer<T>(words); });
    }
    template <class T>
    T integer(std::string_view key, Keywords words = {}) const
    {
        return at(key).integer<T>(words);
    }
    template <class T>
    T integerIn(std::string_view key, T fallback, T lo, T hi) const
    {
        return valueOr(key, fallback, [&](const Node &n) { return n.integerIn<T>(lo, hi); });
    }
    bool boolean(std::string_view key, bool fallback) const
    {
        return valueOr(key, fallback, &Node::boolean);
    }
    double real(std::string_view key, double fallback) const
    {
        return valueOr(key, fallback, &Node::real);
    }
    std::string text(std::string_view key, std::string fallback) const
    {
        return valueOr(key, std::move(fallback), &Node::scalar);
    }
    // The value of key as read reads it, if the key is given (null included).
    template <class Read>
    auto given(std::string_view key, Read read) const
        -> std::optional<std::invoke_result_t<Read, const Node &>>
    {
        const auto n = get(key);
        return n ? std::optional(std::invoke(read, *n)) : std::nullopt;
    }
    std::vector<Node> list(std::string_view key) const;  // missing: empty
    // Every key with its value, in the order written (all count as read).
    std::vector<std::pair<Node, Node>> all() const;

    void finish() const;

private:
    // The value of key read by read, or fallback when the key is missing or null.
    template <class T, class Read>
    T valueOr(std::string_view key, T fallback, Read read) const
    {
        const auto n = get(key);
        return n && !n->isNull() ? std::invoke(read, *n) : fallback;
    }

    struct Entry {
        std::string key;
        Node keyNode;
        Node value;
        mutable bool used = false;
    };
    Node node_;
    std::vector<Entry> entries_;
};

}  // namespace zep::sim
