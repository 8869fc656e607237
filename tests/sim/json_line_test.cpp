// The trace's direct writer must give the very bytes Json::dump() gives, or
// traces written with and without pattern expectations would differ.
#include <gtest/gtest.h>

#include <limits>

#include "base/json_line.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {
namespace {

std::string dumped(const Json &json)
{
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

TEST(JsonLine, WritesWhatDumpWrites)
{
    const std::string texts[] = {
        "plain",
        "quote \" backslash \\ slash / del \x7f",
        std::string("\b\f\n\r\t\x01\x1f\0", 8),
        "caf\xc3\xa9 \xe2\x82\xac",         // valid UTF-8 is kept
        "cut \xc3 and stray \x80\xff end",  // invalid bytes are replaced
    };
    for (const std::string &text : texts) {
        std::string line;
        JsonLine out(line);
        out.begin();
        out.text("s", text);
        out.field("neg", std::numeric_limits<s64>::min());
        out.field("max", std::numeric_limits<u64>::max());
        out.object("inner", [](JsonLine &in) { in.null("n"); });
        out.field("s8", static_cast<s8>(-5));
        out.field("u8", static_cast<u8>(200));
        out.end();
        const Json want = {{"s", text},
                           {"neg", std::numeric_limits<s64>::min()},
                           {"max", std::numeric_limits<u64>::max()},
                           {"inner", {{"n", nullptr}}},
                           {"s8", static_cast<s8>(-5)},
                           {"u8", static_cast<u8>(200)}};
        EXPECT_EQ(line, dumped(want)) << text;
    }
}

// Every message with a direct writer, on a body of made-up bytes and on one cut
// short: the writer's "fields" equal the decoder's, or it leaves them to it.
TEST(JsonLine, FieldWritersAgreeWithTheDecoders)
{
    std::vector<u8> body(64);
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<u8>(i * 37 + 11);
    }
    for (const u32 id : {STAMEAS_MSG_LM_REQ, STAMEAS_MSG_TPC_REQ, STAMEAS_MSG_LM_REPORT,
                         STAMEAS_MSG_TPC_REPORT, STAMEAS_MSG_MEAS_REPORT}) {
        const MsgInfo *m = findMsg(id);
        ASSERT_NE(m, nullptr);
        ASSERT_NE(m->write, nullptr) << id;
        for (const u32 reportId : {STAMEAS_MSG_LM_REPORT, STAMEAS_MSG_TPC_REPORT}) {
            std::memcpy(body.data(), &reportId, sizeof(reportId));  // a 197 says which
            std::string line;
            JsonLine out(line);
            out.begin();
            ASSERT_TRUE(m->write(out, body)) << id;
            out.end();
            EXPECT_EQ(line, dumped({{"fields", m->decode(body).fields}})) << id;
        }
        std::string untouched;
        JsonLine out(untouched);
        EXPECT_FALSE(m->write(out, std::span<const u8>(body).first(19))) << id;
        EXPECT_TRUE(untouched.empty()) << id;
    }
}

}  // namespace
}  // namespace zep::sim
