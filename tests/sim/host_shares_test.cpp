// Which host's share each request served, and every host's share of a listed
// node, as a play shows them: told by the ledger of what the hosts asked for.
#include <gtest/gtest.h>

#include "sim_test.hpp"

namespace zep::sim {
namespace {

// The lines of text from the first one that contains from, count of them.
std::string linesFrom(const std::string &text, const std::string &from, int count)
{
    std::size_t at = text.find(from);
    if (at == std::string::npos) {
        return "(no line with \"" + from + "\" in)\n" + text;
    }
    at = text.rfind('\n', at) + 1;
    std::size_t end = at;
    for (int i = 0; i < count && end != std::string::npos; ++i) {
        end = text.find('\n', end + 1);
    }
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
}

TEST(SimHostShares, EachRequestNamesTheShareItServedAsTheDueHostsChange)
{
    // Host 0 (weight 100) is due every 2nd expiry, host 1 every one: host 1's
    // request goes out alone, then host 0's wins, then host 1's again.
    const Played r = play(R"(
stations: [{mac: "00:11:22:33:44:55", radio: 0, vap: 1, caps: [lm]}]
steps:
  - start
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:33:44:55", measId: lm, measReq: {tokenId: 11}, sched: {isLoop: 1, periodInSec: 1}}]}
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:55", measId: lm, measReq: {tokenId: 22}, sched: {isLoop: 1, periodInSec: 2}}]}
  - advance: 4000
)");
    EXPECT_EQ(linesFrom(r.human, "   2.000  <- 186 timer", 6),
              "   2.000  <- 186 timer              ok\n"
              "            out 167 LM request                 -> 00:11:22:33:44:55  radio 0 vap 1 "
              "token 11  (host 1's share)\n"
              "   3.000  <- 186 timer              ok\n"
              "            out 167 LM request                 -> 00:11:22:33:44:55  radio 0 vap 1 "
              "token 22  (host 0's share)\n"
              "   4.000  <- 186 timer              ok\n"
              "            out 167 LM request                 -> 00:11:22:33:44:55  radio 0 vap 1 "
              "token 11  (host 1's share)\n");
    // Token 11 is host 1's request, 22 host 0's: the trace names the same hosts.
    EXPECT_NE(r.trace.find(R"("t":2000,"dest":4294967295,"id":167,"hex":"00000000010000000011223344550b1417000000","host":1,"fields")"),
              std::string::npos);
    EXPECT_NE(r.trace.find(R"("t":3000,"dest":4294967295,"id":167,"hex":"0000000001000000001122334455161417000000","host":0,"fields")"),
              std::string::npos);
}

TEST(SimHostShares, TheDumpShowsEveryHostsShareUnderItsNode)
{
    const Played r = play(R"(
stations: [{mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm, tpc]}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:01", measId: lm, sched: {isLoop: 1, periodInSec: 5}}]}
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm, sched: {isLoop: 0, periodInSec: 2, count: 3}}]}
  - send: {id: 182, host: 2, entries: [{staMac: "00:11:22:33:44:01", measId: auto, sched: {isLoop: 1, periodInSec: 1}}]}
  - rpc: {id: 69, radioId: 0}
)");
    EXPECT_EQ(linesFrom(r.human, "      #  station", 5),
              "      #  station            meas  radio  vap  weight  hosts  loop  period  count\n"
              "      0  00:11:22:33:44:01  lm        0    1     180  0+1+2     1      5s      0\n"
              "         host 0  weight 100  loop every 5s\n"
              "         host 1  weight 20   3x every 2s\n"
              "         host 2  weight 60   loop every 1s, automatic\n");
}

}  // namespace
}  // namespace zep::sim
