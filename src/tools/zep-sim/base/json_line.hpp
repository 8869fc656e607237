// Writes one JSON object straight into a text buffer, field by field, without
// building a tree first: the trace's frequent events go through this. The bytes
// are those Json::dump() gives for the same object (compact, keys in the order
// written, non-ASCII kept, invalid UTF-8 replaced).
#pragma once

#include <charconv>
#include <concepts>
#include <span>
#include <string>
#include <string_view>

#include "base/sim_json.hpp"
#include "zep_types.h"

namespace zep::sim {

class JsonLine {
public:
    explicit JsonLine(std::string &out) : out_(out) {}

    void begin();
    void end();

    template <std::integral T>
    void field(std::string_view key, T value)
    {
        this->key(key);
        number(value);
    }
    void text(std::string_view key, std::string_view text);
    void json(std::string_view key, const Json &value);
    void null(std::string_view key);
    // "00:11:22:33:44:01"
    void mac(std::string_view key, const u8 (&bytes)[6]);
    // Lower-case hex digits, two per byte, no separators.
    void hex(std::string_view key, std::span<const u8> bytes);

    template <class Fn>
    void object(std::string_view key, Fn &&fill)
    {
        this->key(key);
        begin();
        fill(*this);
        end();
    }

private:
    void key(std::string_view key);
    void string(std::string_view text);

    template <std::integral T>
    void number(T value)
    {
        char digits[24];
        const auto [end, ec] = std::to_chars(std::begin(digits), std::end(digits), value);
        static_cast<void>(ec);  // 24 characters hold any 64-bit integer
        out_.append(digits, end);
    }

    std::string &out_;
    bool first_ = true;  // no field yet in the innermost open object
};

}  // namespace zep::sim
