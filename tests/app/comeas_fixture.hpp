// Co-measurement tests: builders of messages 184, 185 and 34, and a view of
// one channel's list, over the shared application fixture.
#pragma once

#include <vector>

#include "app_fixture.hpp"

namespace zep::test::comeas {

inline constexpr u32 kRadio = 1;
inline constexpr u16 kChan = 36;

// Body bytes are seed + index: an even seed keeps bit 0 of byte 20 clear, and
// no byte at 16, 17 or 19 reads as "to be completed".
inline CoMeasStartEntry coEntry(u8 staLast, u32 measId, u8 flags = 0, u8 seed = 0x40)
{
    CoMeasStartEntry e = keyOf<CoMeasStartEntry>(macOf(staLast), measId);
    e.flags = flags;
    for (u32 i = 0; i < COMEAS_REQ_BODY_LEN; i++) e.reqBody[i] = static_cast<u8>(seed + i);
    return e;
}

inline CoMeasStopEntry coStop(const Mac &mac, u32 measId)
{
    return keyOf<CoMeasStopEntry>(mac, measId);
}

template <class Entry>
std::vector<u8> coMsg(u8 host, const std::vector<Entry> &entries, u8 flags = 0, u32 radio = kRadio,
                      u16 channel = kChan)
{
    return messageOf(CoMeasMsgHead{static_cast<u8>(entries.size()), host, channel, radio, 0, flags, {}}, entries);
}

inline std::vector<u8> scanMsg(u32 radio, u32 state, u32 channel = kChan)
{
    return bytesOf(ScanStateMsg{radio, state, {}, channel, {}});
}

class CoMeasTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        host_.setNowMs(100000);  // a trigger time of 0 would read as "never"
        ASSERT_EQ(startApp(), 0u);
    }

    // The channel becomes capable; the radio is left off scan.
    void makeCapable(u32 radio = kRadio, u32 channel = kChan)
    {
        ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(radio, 1, channel)), 0u);
        ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(radio, 0, channel)), 0u);
        host_.clearCaptures();
    }

    static std::vector<CoMeasInfo *> records(u32 radio = kRadio, u32 channel = kChan)
    {
        std::vector<CoMeasInfo *> out;
        ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(radio, channel);
        for (ZEP_SLL_Node *n = list->first; n != reinterpret_cast<ZEP_SLL_Node *>(list); n = n->next) {
            out.push_back(static_cast<CoMeasInfo *>(n->data));
        }
        return out;
    }

    bool loggedBody(const std::string &body, u32 severity = ZEP_DBG_NOTE) const
    {
        for (const auto &line : host_.logs()) {
            if (bodyOf(line.text) == body && line.severity == severity) return true;
        }
        return false;
    }

    std::vector<host::SentMessage> sentWithId(u32 msgId) const
    {
        std::vector<host::SentMessage> out;
        for (const auto &m : host_.sent()) {
            if (m.msgId == msgId) out.push_back(m);
        }
        return out;
    }
};

}  // namespace zep::test::comeas
