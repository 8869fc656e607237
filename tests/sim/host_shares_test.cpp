// Which host's share each request served, and every host's share of a listed
// node: read from the application's table through the emulation's pool.
#include <gtest/gtest.h>

#include <sstream>

#include "run/node_view.hpp"
#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"
#include "sta_meas_inner.h"

namespace zep::sim {
namespace {

struct Played {
    std::string timeline;
    std::string trace;
};

Played play(const std::string &text)
{
    const Scenario sc = readScenarioText(text, "t.yaml");
    std::ostringstream human;
    std::ostringstream trace;
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.human = &human;
    opt.trace = &trace;
    Runner(sc, opt).run();
    return {human.str(), trace.str()};
}

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
    EXPECT_EQ(linesFrom(r.timeline, "   2.000  <- 186 timer", 6),
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
    EXPECT_EQ(linesFrom(r.timeline, "      #  station", 5),
              "      #  station            meas  radio  vap  weight  hosts  loop  period  count\n"
              "      0  00:11:22:33:44:01  lm        0    1     180  0+1+2     1      5s      0\n"
              "         host 0  weight 100  loop every 5s\n"
              "         host 1  weight 20   3x every 2s\n"
              "         host 2  weight 60   loop every 1s, automatic\n");
}

// The node record as the application lays it out, in a pool of its name.
class NodeViewTest : public ::testing::Test {
protected:
    NodeViewTest()
    {
        pool_ = ZEP_MEMPOOL_Create(sizeof(StaMeasNode), 2, STAMEAS_TBL_POOL_NAME, 0, 0, 0);
        node_ = static_cast<StaMeasNode *>(ZEP_MEMPOOL_Malloc(pool_));
    }
    host::Host host_;
    ZEP_MemPool *pool_ = nullptr;
    StaMeasNode *node_ = nullptr;
};

TEST_F(NodeViewTest, TheHostIsTheRequestsIndexAndNothingElseIsGuessed)
{
    const host::Memory &memory = host_.memory();
    const StaMeasReq *req = node_->info.hostReq;
    for (int h = 0; h < 3; ++h) {
        EXPECT_EQ(servedHost(memory, &req[h]), h);
    }
    const auto *bytes = reinterpret_cast<const u8 *>(req);
    EXPECT_EQ(servedHost(memory, bytes + 1), kUnknownHost);      // inside a request
    EXPECT_EQ(servedHost(memory, &req[3]), kUnknownHost);        // past the last host's
    EXPECT_EQ(servedHost(memory, &node_->info), kUnknownHost);   // before the first
    EXPECT_EQ(servedHost(memory, nullptr), kUnknownHost);
    StaMeasNode onStack{};
    EXPECT_EQ(servedHost(memory, &onStack.info.hostReq[1]), kUnknownHost);
    ZEP_MEMPOOL_Free(pool_, node_);
    EXPECT_EQ(servedHost(memory, &req[1]), kUnknownHost);        // the node is gone
}

TEST_F(NodeViewTest, LiveNodesListTheHostsOfTheBitmapWithTheirSchedules)
{
    StaMeasInfo &info = node_->info;
    const u8 mac[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x01};
    std::memcpy(info.staMac, mac, sizeof(mac));
    info.measId = STAMEAS_MSG_TPC_REQ;
    info.radioId = 1;
    info.hostBitmap = 0b101;
    info.autoMeasBitmap = 0b100;
    info.hostSched[0] = {1, 4, 0};
    info.hostSched[1] = {0, 9, 9};  // not in the bitmap: not shown
    info.hostSched[2] = {0, 2, 7};
    const std::vector<NodeShares> nodes = liveNodes(host_.memory());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].staMac[5], 0x01);
    EXPECT_EQ(std::tuple(nodes[0].measId, nodes[0].radioId), std::tuple(169u, 1u));
    ASSERT_EQ(nodes[0].hosts.size(), 2u);
    const HostShare &h0 = nodes[0].hosts[0];
    const HostShare &h2 = nodes[0].hosts[1];
    EXPECT_EQ(std::tuple(h0.host, h0.sched.isLoop, h0.sched.periodInSec, h0.automatic),
              std::tuple(0u, 1, 4, false));
    EXPECT_EQ(std::tuple(h2.host, h2.sched.count, h2.automatic), std::tuple(2u, 7, true));
}

}  // namespace
}  // namespace zep::sim
