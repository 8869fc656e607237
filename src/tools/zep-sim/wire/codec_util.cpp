#include "wire/codec_util.hpp"

namespace zep::sim {

namespace codec {

Decoded tooShort(std::span<const u8> body)
{
    Decoded d;
    d.fields["truncated"] = true;
    d.summary = "(";
    d.summary += plural(body.size(), "byte", "bytes");
    d.summary += ", too short to decode)";
    return d;
}

std::string plural(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace codec

}  // namespace zep::sim
