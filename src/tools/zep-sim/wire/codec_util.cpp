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

std::string joinedTexts(const std::vector<std::string> &texts)
{
    std::string out;
    const std::size_t shown = texts.size() > 4 ? 3 : texts.size();
    for (std::size_t i = 0; i < shown; ++i) {
        out += (i == 0 ? ": " : "; ") + texts[i];
    }
    if (shown < texts.size()) {
        out += "; +" + std::to_string(texts.size() - shown) + " more";
    }
    return out;
}

std::string plural(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace codec

}  // namespace zep::sim
