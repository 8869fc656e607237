// The ledger that tells which host a measurement request served, from what
// the hosts asked for alone.
#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/hex.hpp"
#include "run/host_ledger.hpp"
#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim {
namespace {

const host::Mac kSta = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};
const host::Mac kOtherStation = {0x00, 0x11, 0x22, 0x33, 0x44, 0x02};
const host::Mac kEvery = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr u32 kAuto = 0xFFFFFFFFu;

StaMeasReq request(u8 token)
{
    StaMeasReq req{0, 1, {}, token, 0, 0, {}};  // radio 0, VAP 1
    codec::putMac(req.staMac, kSta);
    return req;
}

template <class Entry>
std::vector<u8> message(u8 host, u32 radioId, const std::vector<Entry> &entries)
{
    const StaMeasMsgHead head{static_cast<u8>(entries.size()), host, {}, radioId};
    std::vector<u8> body = codec::bytesOf(head);
    for (const Entry &e : entries) {
        codec::appendRecord(body, e);
    }
    return body;
}

std::vector<u8> start(u8 host, const host::Mac &mac, u32 measId, const StaMeasReq &req, u32 radioId = 0)
{
    StaMeasStartEntry e{{}, {}, measId, req, {1, 1, 0}};  // every second
    codec::putMac(e.staMac, mac);
    return message<StaMeasStartEntry>(host, radioId, {e});
}

std::vector<u8> stop(u8 host, const host::Mac &mac, u32 measId, u32 radioId = 0)
{
    StaMeasStopEntry e{{}, {}, measId};
    codec::putMac(e.staMac, mac);
    return message<StaMeasStopEntry>(host, radioId, {e});
}

int hostOf(HostLedger &ledger, u32 measId, const StaMeasReq &req)
{
    return ledger.hostOf(measId, codec::bytesOf(req), true);
}

TEST(HostLedger, ARequestIsTheOneHostsWhoseBytesItHas)
{
    HostLedger ledger;
    ledger.delivered(STAMEAS_MSG_MEAS_START, start(0, kSta, STAMEAS_MSG_LM_REQ, request(7)), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_START, start(2, kSta, STAMEAS_MSG_TPC_REQ, request(9)), 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_TPC_REQ, request(9)), 2);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(8)), kUnknownHost);
    const std::vector<u8> longer(sizeof(StaMeasReq) + 1);
    EXPECT_EQ(ledger.hostOf(STAMEAS_MSG_LM_REQ, longer, true), kUnknownHost);
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, stop(0, kSta, STAMEAS_MSG_LM_REQ), 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), kUnknownHost);
    // A message the module refused, or one too short for what it announces, changes nothing.
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, stop(2, kSta, kAuto), 43);
    std::vector<u8> cut = stop(2, kSta, kAuto);
    cut.pop_back();
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, cut, 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_TPC_REQ, request(9)), 2);
}

// Two hosts asking for the same bytes in one node: the timer sent the
// heaviest of those due at this tick (host 0 weighs 100, host 2 60, host 1 20);
// none due, or due in two nodes, and there is no telling.
TEST(HostLedger, OfHostsWithTheSameRequestTheHeaviestDueOneWasServed)
{
    HostLedger ledger;
    const auto every = [](u8 host, u32 measId, u8 period) {
        std::vector<u8> body = start(host, kSta, measId, request(7));
        body[sizeof(StaMeasMsgHead) + offsetof(StaMeasStartEntry, sched) + 1] = period;
        return body;
    };
    ledger.delivered(STAMEAS_MSG_MEAS_START, every(0, STAMEAS_MSG_LM_REQ, 2), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_START, every(1, STAMEAS_MSG_LM_REQ, 1), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_START, every(2, STAMEAS_MSG_LM_REQ, 1), 0);
    const int expected[] = {0, 2, 0, 2};  // ticks 0 to 3
    for (const int host : expected) {
        EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), host);
        ledger.delivered(STAMEAS_MSG_MEAS_TIMER, {}, 0);
    }
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, stop(2, kSta, kAuto), 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), 0) << "tick 4";
    ledger.delivered(STAMEAS_MSG_MEAS_TIMER, {}, 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), 1) << "tick 5: host 1 alone is due";
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, stop(0, kSta, kAuto), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, stop(1, kSta, kAuto), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_START, every(0, STAMEAS_MSG_TPC_REQ, 0), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_START, every(1, STAMEAS_MSG_TPC_REQ, 0), 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_TPC_REQ, request(7)), kUnknownHost) << "none is due";
    // Bytes that name no node, asked for in two nodes whose hosts are both due.
    StaMeasReq elsewhere = request(7);
    codec::putMac(elsewhere.staMac, kOtherStation);
    HostLedger two;
    two.delivered(STAMEAS_MSG_MEAS_START, start(0, kSta, STAMEAS_MSG_LM_REQ, elsewhere), 0);
    two.delivered(STAMEAS_MSG_MEAS_START, start(2, kSta, STAMEAS_MSG_TPC_REQ, elsewhere), 0);
    EXPECT_EQ(hostOf(two, STAMEAS_MSG_LM_REQ, elsewhere), kUnknownHost);
}

// An automatic request is built as the module builds it: the station's radio
// and VAP, its token counter in 1..143, its radio's power figures; its id
// comes from the station's capabilities.
TEST(HostLedger, AnAutomaticRequestIsBuiltFromTheStationsFacts)
{
    struct Case {
        bool linkMeas, tpc;
        u32 tokenCounter;
        u32 measId;  // 0: no node
        u8 token;
    };
    const Case kCases[] = {
        {true, true, 286, STAMEAS_MSG_LM_REQ, 143},
        {false, true, 144, STAMEAS_MSG_TPC_REQ, 1},
        {false, false, 5, 0, 0},
    };
    for (const Case &c : kCases) {
        HostLedger ledger;
        ledger.setStation({kSta, 1, 2, c.linkMeas, c.tpc, c.tokenCounter});
        ledger.setRadio(1, -3, 23);
        ledger.delivered(STAMEAS_MSG_MEAS_START, start(2, kSta, kAuto, request(99)), 0);
        StaMeasReq built{1, 2, {}, c.token, -3, 23, {}};
        codec::putMac(built.staMac, kSta);
        const std::vector<NodeShares> nodes = ledger.nodes();
        if (c.measId == 0) {
            EXPECT_TRUE(nodes.empty()) << "a station that can do neither is skipped";
            continue;
        }
        EXPECT_EQ(hostOf(ledger, c.measId, built), 2) << c.tokenCounter;
        EXPECT_EQ(hostOf(ledger, c.measId, request(99)), kUnknownHost) << "the request sent along is ignored";
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(nodes[0].measId, c.measId);
        ASSERT_EQ(nodes[0].hosts.size(), 1u);
        EXPECT_TRUE(nodes[0].hosts[0].automatic);
    }
    HostLedger unknown;  // a station not in the database: the module refuses the share
    unknown.delivered(STAMEAS_MSG_MEAS_START, start(0, kSta, kAuto, request(1)), 0);
    EXPECT_TRUE(unknown.nodes().empty());
}

// A station under automatic measurement that answered none of its first three
// requests has its automatic hosts moved to its TPC node at the next tick, as
// the timer moves them; an explicit host stays, and one report keeps them,
// even one the module could not forward (it counts a report before that).
TEST(HostLedger, ASilentStationsAutomaticHostsMoveToItsTpcNode)
{
    const std::optional<u32> kReportStatuses[] = {std::nullopt, 0u, 1u};  // none, forwarded, not forwarded
    for (const std::optional<u32> &reportStatus : kReportStatuses) {
        const bool answered = reportStatus.has_value();
        HostLedger ledger;
        ledger.setStation({kSta, 0, 1, true, true, 7});
        ledger.delivered(STAMEAS_MSG_MEAS_START, start(2, kSta, kAuto, request(0)), 0);
        ledger.delivered(STAMEAS_MSG_MEAS_START, start(1, kSta, STAMEAS_MSG_LM_REQ, request(9)), 0);
        for (int tick = 0; tick < 3; ++tick) {
            EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), 2);
            if (answered && tick == 2) {
                LmReportMsg report{0, 0, {}, 0, 7, {}};  // token 7
                codec::putMac(report.staMac, kSta);
                ledger.delivered(STAMEAS_MSG_LM_REPORT, codec::bytesOf(report), *reportStatus);
            }
            ledger.delivered(STAMEAS_MSG_MEAS_TIMER, {}, 0);
        }
        ledger.delivered(STAMEAS_MSG_MEAS_TIMER, {}, 0);  // the fourth expiry sent nothing
        std::vector<std::pair<u32, std::size_t>> nodes;  // id, hosts
        for (const NodeShares &n : ledger.nodes()) {
            nodes.emplace_back(n.measId, n.hosts.size());
        }
        using Nodes = std::vector<std::pair<u32, std::size_t>>;
        const Nodes expected = answered ? Nodes{{STAMEAS_MSG_LM_REQ, 2}}
                                        : Nodes{{STAMEAS_MSG_LM_REQ, 1}, {STAMEAS_MSG_TPC_REQ, 1}};
        EXPECT_EQ(nodes, expected) << (answered ? "answered, status " + std::to_string(*reportStatus) : "silent");
    }
}

// What the station table reads: a request counts on its node, sent or failed,
// whether or not it has a host's bytes; a radio asked for more nodes than its
// table holds is marked, since the module then evicted or refused some.
TEST(HostLedger, RequestsCountOnTheirNodeAndAnOverfullRadioIsMarked)
{
    HostLedger ledger;
    ledger.delivered(STAMEAS_MSG_MEAS_START, start(1, kSta, STAMEAS_MSG_LM_REQ, request(7)), 0);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(7)), 1);
    EXPECT_EQ(hostOf(ledger, STAMEAS_MSG_LM_REQ, request(8)), kUnknownHost);
    EXPECT_EQ(ledger.hostOf(STAMEAS_MSG_LM_REQ, codec::bytesOf(request(7)), false), 1);
    const NodeHistory node = ledger.history().at({kSta, STAMEAS_MSG_LM_REQ});
    EXPECT_EQ(node.requests, 2u);
    EXPECT_EQ(node.failed, 1u);
    EXPECT_EQ(node.hosts[1].served, 1u);
    EXPECT_EQ(node.hostsAsked, 0b10u);
    EXPECT_TRUE(node.inTable);

    std::vector<StaMeasStartEntry> others(127);  // with kSta, a full table of 128
    for (std::size_t i = 0; i < others.size(); ++i) {
        codec::putMac(others[i].staMac, macPlus(kOtherStation, i));
        others[i].measId = STAMEAS_MSG_LM_REQ;
        others[i].sched = {1, 1, 0};
    }
    ledger.delivered(STAMEAS_MSG_MEAS_START, message<StaMeasStartEntry>(0, 0, others), 0);
    EXPECT_FALSE(ledger.overflowed(0));
    ledger.delivered(STAMEAS_MSG_MEAS_STOP, stop(1, kSta, STAMEAS_MSG_LM_REQ), 0);
    ledger.delivered(STAMEAS_MSG_MEAS_START, start(2, kSta, STAMEAS_MSG_TPC_REQ, request(9)), 0);
    EXPECT_FALSE(ledger.overflowed(0)) << "a node gone makes room for another";
    ledger.delivered(STAMEAS_MSG_MEAS_START, start(2, kSta, STAMEAS_MSG_LM_REQ, request(9)), 0);
    EXPECT_TRUE(ledger.overflowed(0));
    EXPECT_FALSE(ledger.overflowed(1));
    const NodeHistory again = ledger.history().at({kSta, STAMEAS_MSG_LM_REQ});
    EXPECT_EQ(again.adds, 2u);
    EXPECT_EQ(again.removals, 1u);
    EXPECT_EQ(again.hostsAsked, 0b110u);
}

// A stop walks the table of its radio only: one station and id, every id of
// the station, or every node; a station's leave ends all of its nodes.
TEST(HostLedger, StopsAndLeavesTakeHostsOutOfNodes)
{
    struct Case {
        const char *what;
        std::vector<u8> stopBody;
        std::size_t nodesLeft;
    };
    const Case kCases[] = {
        {"one id", stop(0, kSta, STAMEAS_MSG_LM_REQ), 2},
        {"every id of the station", stop(0, kSta, kAuto), 1},
        {"every station of the radio", stop(0, kEvery, 0), 0},
        {"another radio's table", stop(0, kEvery, 0, 1), 3},
        {"another host", stop(1, kEvery, 0), 3},
    };
    for (const Case &c : kCases) {
        HostLedger ledger;
        ledger.delivered(STAMEAS_MSG_MEAS_START, start(0, kSta, STAMEAS_MSG_LM_REQ, request(1)), 0);
        ledger.delivered(STAMEAS_MSG_MEAS_START, start(0, kSta, STAMEAS_MSG_TPC_REQ, request(2)), 0);
        ledger.delivered(STAMEAS_MSG_MEAS_START, start(0, kOtherStation, STAMEAS_MSG_LM_REQ, request(3)), 0);
        ledger.delivered(STAMEAS_MSG_MEAS_STOP, c.stopBody, 0);
        EXPECT_EQ(ledger.nodes().size(), c.nodesLeft) << c.what;
        ledger.stationLeft(kSta);
        for (const NodeShares &n : ledger.nodes()) {
            EXPECT_EQ(n.staMac, kOtherStation) << c.what;
        }
    }
}

}  // namespace
}  // namespace zep::sim
