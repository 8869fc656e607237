// Recordings as the recording tests make and read them: files of this
// process's own in the temporary folder, read back whole and removed.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record_reader.hpp"
#include "record_writer.hpp"

namespace zep::record::test {

inline std::string tempPath(const std::string &name)
{
    const std::string file = name + "." + std::to_string(getpid()) + ".rec";
    return (std::filesystem::temp_directory_path() / file).string();
}

// The bytes of the file at path, which is gone afterwards.
inline std::vector<u8> takeFile(const std::string &path)
{
    std::vector<u8> bytes;
    std::string why;
    EXPECT_TRUE(readFile(path.c_str(), bytes, why)) << why;
    std::filesystem::remove(path);
    return bytes;
}

// The file that a writer with the given cap makes of what add writes to it.
inline std::vector<u8> writtenFile(u64 cap, const std::function<void(Writer &)> &add)
{
    const std::string path = tempPath("written");
    static Writer writer;  // its buffers are large: not on the stack
    EXPECT_TRUE(writer.open(path.c_str(), cap));
    add(writer);
    writer.close(EndReason::closed);
    return takeFile(path);
}

// The definition of a log format or %s text, as the recorder writes it.
inline RecordedCall textDefinition(CallKind kind, u64 id, std::string_view text)
{
    RecordedCall e;
    e.kind = kind;
    e.argCount = 1;
    e.args[0] = id;
    e.in = {reinterpret_cast<const u8 *>(text.data()), text.size()};
    return e;
}

// How a read of every event of a recording ended, after how many, and why.
struct ReadAll {
    Reader::Status status;
    u64 events;
    std::string why;
};

// Reads every event, which each (when given) sees in turn.
inline ReadAll readAll(std::span<const u8> bytes,
                       const std::function<void(const RecordedCall &)> &each = {})
{
    Reader reader(bytes);
    RecordedCall e;
    Reader::Status s;
    while ((s = reader.next(e)) == Reader::Status::event) {
        if (each) {
            each(e);
        }
    }
    return {s, reader.eventsRead(), reader.why()};
}

}  // namespace zep::record::test
