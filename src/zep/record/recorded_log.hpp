// A recorded log line read back: the texts (formats and %s strings) a
// recording defines once and names by id afterwards, and a line's values
// decoded against its format.
#pragma once

#include <string>
#include <vector>

#include "log_format.hpp"

namespace zep::record {

struct RecordedText {
    std::string text;
    bool isFormat = false;
    std::vector<ArgClass> classes;  // a format's, in order
};

// Every text of a recording, by id (their ids are given in order from 0).
class TextTable {
public:
    // Adds the next text; false with a reason when the definition is wrong.
    bool define(CallKind kind, u64 id, std::span<const u8> text, const char *&why);
    const RecordedText *find(u64 id) const { return id < texts_.size() ? &texts_[id] : nullptr; }
    bool isFormat(u64 id) const { return id < texts_.size() && texts_[id].isFormat; }
    std::size_t size() const { return texts_.size(); }

private:
    std::vector<RecordedText> texts_;
};

// A log line decoded: its format and one value per argument class.
struct DecodedLine {
    std::string_view format;
    std::vector<ArgClass> classes;
    std::vector<LogValue> values;
};

// Decodes a log line event against texts; false with a reason when its
// references or values do not fit what was recorded.
bool decodeLogLine(const RecordedCall &line, const TextTable &texts, DecodedLine &out, const char *&why);

// The text of a recorded line (as the framework's logger would have made it).
std::string recordedLineText(const RecordedCall &line);

}  // namespace zep::record
