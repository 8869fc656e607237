#include "base/json_line.hpp"

#include <algorithm>

namespace zep::sim {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool isAscii(std::string_view text)
{
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return (static_cast<unsigned char>(c) & 0x80u) != 0; });
}

// The short escapes JSON has; 0 for a control character written as \u00XX.
char shortEscape(char c)
{
    switch (c) {
    case '"': return '"';
    case '\\': return '\\';
    case '\b': return 'b';
    case '\f': return 'f';
    case '\n': return 'n';
    case '\r': return 'r';
    case '\t': return 't';
    default: return 0;
    }
}

void appendEscapedAscii(std::string &out, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && c != '"' && c != '\\') {
            out.push_back(c);
        } else if (const char e = shortEscape(c); e != 0) {
            out.push_back('\\');
            out.push_back(e);
        } else {
            out.append("\\u00");
            out.push_back(kHexDigits[byte >> 4]);
            out.push_back(kHexDigits[byte & 0x0F]);
        }
    }
}

}  // namespace

void JsonLine::begin()
{
    out_.push_back('{');
    first_ = true;
}

void JsonLine::end()
{
    out_.push_back('}');
    first_ = false;
}

void JsonLine::key(std::string_view key)
{
    if (!first_) {
        out_.push_back(',');
    }
    first_ = false;
    string(key);
    out_.push_back(':');
}

void JsonLine::string(std::string_view text)
{
    if (!isAscii(text)) {
        // Multi-byte characters, valid or not, are left to the library, whose
        // replacement of invalid sequences the trace has always shown.
        out_ += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
        return;
    }
    out_.push_back('"');
    appendEscapedAscii(out_, text);
    out_.push_back('"');
}

void JsonLine::text(std::string_view key, std::string_view text)
{
    this->key(key);
    string(text);
}

void JsonLine::json(std::string_view key, const Json &value)
{
    this->key(key);
    out_ += value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void JsonLine::null(std::string_view key)
{
    this->key(key);
    out_.append("null");
}

void JsonLine::mac(std::string_view key, const u8 (&bytes)[6])
{
    this->key(key);
    out_.push_back('"');
    for (std::size_t i = 0; i < 6; ++i) {
        if (i != 0) {
            out_.push_back(':');
        }
        out_.push_back(kHexDigits[bytes[i] >> 4]);
        out_.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
    out_.push_back('"');
}

void JsonLine::hex(std::string_view key, std::span<const u8> bytes)
{
    this->key(key);
    out_.push_back('"');
    for (const u8 b : bytes) {
        out_.push_back(kHexDigits[b >> 4]);
        out_.push_back(kHexDigits[b & 0x0F]);
    }
    out_.push_back('"');
}

}  // namespace zep::sim
