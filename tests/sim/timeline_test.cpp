// The default timeline, as a person reads it: what it adds under a message
// that was accepted but left less behind than it asked for.
#include <gtest/gtest.h>

#include "sim_test.hpp"

namespace zep::sim {
namespace {

std::string timelineOf(const std::string &text)
{
    return play(text).human;
}

TEST(SimTimeline, AcceptedMessagesThatDidNothingSayWhy)
{
    const std::string out = timelineOf(R"(
host: {clockStartMs: 10000}
radio:
  1: {curEirp: 23, maxPower: 26, band: 1, scanEirp: {36: 18}}
stations:
  - {mac: "00:11:22:33:44:01", radio: 1, vap: 1, caps: [lm]}
steps:
  - start
  - send: {id: 184, host: 1, radioId: 1, channel: 36, entries: [{staMac: "00:11:22:33:44:01"}]}
  - config: {radio: 1, scanSwitch: 0}
  - send: {id: 182, host: 0, radioId: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm}]}
  - config: {radio: 1, scanSwitch: 1}
  - send: {id: 182, host: 1, radioId: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm}]}
)");
    const std::size_t at184 = out.find("184 comeas-start       ok");
    const std::size_t atOff = out.find("182 meas-start         ok         host 0");
    const std::size_t atOn = out.find("182 meas-start         ok         host 1");
    ASSERT_TRUE(at184 != std::string::npos && atOff != std::string::npos && atOn != std::string::npos)
        << out;
    const std::string unseen =
        "\n            why nothing listed: the radio was never seen scanning this channel\n";
    EXPECT_NE(out.find(unseen, at184), std::string::npos) << out;
    const std::string off = "\n            why no request will go out: measurement is off on radio 1\n";
    EXPECT_NE(out.find(off, atOff), std::string::npos) << out;
    // Once switched on again, a start says nothing more.
    EXPECT_EQ(out.find(off, atOn), std::string::npos) << out;
}

}  // namespace
}  // namespace zep::sim
