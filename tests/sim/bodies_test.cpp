// Structured bodies: the defaults a scenario relies on, and decoders that stay
// safe on bodies cut short.
#include <gtest/gtest.h>

#include "scenario/scenario_reader.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"
#include "wire/codec_util.hpp"

namespace zep::sim {
namespace {

using codec::readRecord;

// The body of the only send step of a scenario.
std::vector<u8> bodyOf(const std::string &text)
{
    const Scenario sc = readScenarioText(text, "t.yaml");
    return std::get<step::Send>(sc.steps.at(0).action).body;
}

TEST(Bodies, MeasStartRequestDefaultsComeFromTheStationAndItsRadio)
{
    const auto body = bodyOf(R"(
radio: {1: {curEirp: 17, maxPower: 21}}
stations:
  - {mac: "00:11:22:33:44:01", radio: 1, vap: 3, token: 143}
  - {mac: "00:11:22:33:44:02", radio: 1, vap: 2, token: 144}
steps:
  - send:
      id: 182
      host: 2
      entries:
        - {staMac: "00:11:22:33:44:01", measId: lm, repeat: 2}
        - {staMac: "00:11:22:33:44:09", measId: tpc, measReq: {tokenId: 200}, sched: {isLoop: 0, count: 3}}
)");
    ASSERT_EQ(body.size(), sizeof(StaMeasMsgHead) + 3 * sizeof(StaMeasStartEntry));
    const auto head = readRecord<StaMeasMsgHead>(body).value();
    EXPECT_EQ(head.num, 3);
    EXPECT_EQ(head.host, 2);
    const auto e0 = readRecord<StaMeasStartEntry>(body, 8).value();
    EXPECT_EQ(e0.measId, STAMEAS_MSG_LM_REQ);
    EXPECT_EQ(e0.measReq.radioId, 1u);
    EXPECT_EQ(e0.measReq.vapId, 3u);
    EXPECT_EQ(e0.measReq.tokenId, 143);  // a counter that is a multiple of 143
    EXPECT_EQ(e0.measReq.curEirp, 17);
    EXPECT_EQ(e0.measReq.maxPower, 21);
    EXPECT_EQ(e0.sched.isLoop, 1);
    EXPECT_EQ(e0.sched.periodInSec, 1);
    const auto e1 = readRecord<StaMeasStartEntry>(body, 8 + 36).value();
    EXPECT_EQ(e1.staMac[5], 0x02);  // repeated with the next MAC...
    EXPECT_EQ(e1.measReq.tokenId, 1);  // ...and that station's own request: 144 wraps to 1
    EXPECT_EQ(e1.measReq.vapId, 2u);
    const auto e2 = readRecord<StaMeasStartEntry>(body, 8 + 72).value();
    EXPECT_EQ(e2.measReq.tokenId, 200);
    EXPECT_EQ(e2.measReq.radioId, 0u);  // unknown station: the message's radio
    EXPECT_EQ(e2.sched.isLoop, 0);
    EXPECT_EQ(e2.sched.count, 3);
}

TEST(Bodies, CoMeasStartLeavesTheCompletedFieldsToTheHandler)
{
    const auto body = bodyOf(R"(
steps:
  - send:
      id: 184
      channel: 36
      radioId: scan
      isTrigScan: true
      entries:
        - {staMac: "00:11:22:33:44:06", isRepeatSend: true}
        - {staMac: "00:11:22:33:44:07", isOnWorkChannel: true, measId: 9, reqBody: {eirp: -3, band: 0}}
)");
    const auto head = readRecord<CoMeasMsgHead>(body).value();
    EXPECT_EQ(head.radioId, STAMEAS_ALL_RADIO);
    EXPECT_EQ(head.flags, COMEAS_START_FLAG_TRIG_SCAN);
    const auto e0 = readRecord<CoMeasStartEntry>(body, 12).value();
    EXPECT_EQ(e0.flags, COMEAS_ENTRY_FLAG_REPEAT_SEND);
    EXPECT_EQ(e0.measId, 173u);
    EXPECT_EQ(readRecord<u32>(e0.reqBody).value(), 0xFFFFFFFFu);
    EXPECT_EQ(e0.reqBody[COMEAS_REQ_ADDR_OFFSET + 5], 0x06);
    EXPECT_EQ(e0.reqBody[COMEAS_REQ_BAND_OFFSET], 0xFF);
    EXPECT_EQ(e0.reqBody[COMEAS_REQ_EIRP_OFFSET], COMEAS_EIRP_UNKNOWN);
    EXPECT_EQ(e0.reqBody[COMEAS_REQ_EIRP2_OFFSET], COMEAS_EIRP_UNKNOWN);
    const auto e1 = readRecord<CoMeasStartEntry>(body, 12 + 36).value();
    EXPECT_EQ(e1.flags, COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL);
    EXPECT_EQ(static_cast<s8>(e1.reqBody[COMEAS_REQ_EIRP_OFFSET]), -3);
    EXPECT_EQ(e1.reqBody[COMEAS_REQ_BAND_OFFSET], 0);
}

TEST(Bodies, NeighbourRequestRepeatsStationsWithConsecutiveTags)
{
    const auto body = bodyOf(R"(
steps:
  - send:
      id: 198
      checkSsid: true
      stations: [{staMac: "00:11:22:33:44:ff", ssid: office, radioId: 1, channel: 36, staTag: 50, repeat: 17}]
)");
    ASSERT_EQ(body.size(), sizeof(CoMeasToNbMsgHead) + 17 * sizeof(CoMeasStaRec));
    const auto head = readRecord<CoMeasToNbMsgHead>(body).value();
    EXPECT_EQ(head.staNum, 17);
    EXPECT_EQ(head.flags, COMEAS_NB_FLAG_CHECK_SSID);
    EXPECT_EQ(head.staTag[15], 65u);  // the header holds 16 tags; the 17th has no slot
    const auto second = readRecord<CoMeasStaRec>(body, sizeof(head) + sizeof(CoMeasStaRec)).value();
    EXPECT_EQ(second.staMac[4], 0x45);  // ...44:ff + 1 carries into the fifth byte
    EXPECT_EQ(second.staMac[5], 0x00);
    EXPECT_STREQ(reinterpret_cast<const char *>(second.ssid), "office");
}

TEST(Bodies, LenCutsShortOrPadsWithZeros)
{
    EXPECT_EQ(bodyOf("steps:\n  - send: {id: 181, radioId: 1, len: 107}\n").size(), 107u);
    const auto padded = bodyOf("steps:\n  - send: {id: 999, hex: \"ff ff\", len: 4}\n");
    EXPECT_EQ(padded, (std::vector<u8>{0xFF, 0xFF, 0, 0}));
}

TEST(Bodies, DecodersKeepToTheEntriesThatArePresent)
{
    // num says 3, but only one whole entry follows the header.
    std::vector<u8> body(sizeof(StaMeasMsgHead) + sizeof(StaMeasStartEntry) + 10, 0);
    body[0] = 3;
    const Decoded d = decodeInbound(STAMEAS_MSG_MEAS_START, body);
    EXPECT_EQ(d.fields["entries"].size(), 1u);
    EXPECT_TRUE(d.fields["truncated"].get<bool>());
    EXPECT_TRUE(decodeInbound(STAMEAS_MSG_COMEAS_TO_NB, std::vector<u8>(5)).fields["truncated"]);
    // Blocks to neighbours: a block whose count overruns the body stops the walk.
    std::vector<u8> blocks(sizeof(NbCoMeasReqBlockHead) + sizeof(CoMeasStaRec), 0);
    blocks[7] = 2;
    const Decoded b = decodeOutbound(STAMEAS_IPC_NB_COMEAS_REQ, blocks, 0, true);
    EXPECT_EQ(b.fields["blocks"].size(), 0u);
    EXPECT_TRUE(b.fields["truncated"].get<bool>());
}

TEST(Bodies, OutboundRequestsAreToldApartByTheHandlerThatSentThem)
{
    const std::vector<u8> body(24, 0);
    EXPECT_EQ(decodeOutbound(STAMEAS_MSG_LM_REQ, body, STAMEAS_MSG_MEAS_TIMER, false).name, "");
    EXPECT_EQ(decodeOutbound(STAMEAS_MSG_LM_REQ, body, STAMEAS_MSG_SCAN_STATE, false).name,
              "co-meas request");
    EXPECT_EQ(decodeOutbound(STAMEAS_MSG_CO_SCAN_TRIG, body, STAMEAS_MSG_COMEAS_START, false).name, "");
}

}  // namespace
}  // namespace zep::sim
