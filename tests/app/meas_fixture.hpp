// Builders and probes shared by the station-measurement tests: start and stop
// bodies, stations in the database, nodes of the table and requests sent.
#pragma once

#include <vector>

#include "app_fixture.hpp"

namespace zep::test {

inline constexpr u32 kLm = STAMEAS_MSG_LM_REQ;
inline constexpr u32 kTpc = STAMEAS_MSG_TPC_REQ;
inline constexpr u32 kAuto = STAMEAS_AUTO_MEAS_ID;

inline StaMeasSched loopEvery(u8 period) { return StaMeasSched{1, period, 0}; }
inline StaMeasSched countOf(u16 count, u8 period = 1) { return StaMeasSched{0, period, count}; }

// A request whose 20 bytes all carry tag, so a sent body shows whose it was.
inline StaMeasStartEntry startEntry(const Mac &mac, u32 measId, StaMeasSched sched, u8 tag = 0xA0)
{
    StaMeasStartEntry e = keyOf<StaMeasStartEntry>(mac, measId);
    std::memset(&e.measReq, tag, sizeof(e.measReq));
    e.sched = sched;
    return e;
}

template <class Entry>
std::vector<u8> measMsg(u8 host, u32 radioId, const std::vector<Entry> &entries)
{
    return messageOf(StaMeasMsgHead{static_cast<u8>(entries.size()), host, {}, radioId}, entries);
}

inline StaMeasStopEntry stopEntry(const Mac &mac, u32 measId)
{
    return keyOf<StaMeasStopEntry>(mac, measId);
}

inline std::vector<u8> reqBytes(u8 tag) { return std::vector<u8>(sizeof(StaMeasReq), tag); }

class MeasTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_EQ(startApp(), 0u);
    }

    u32 start(u8 host, u32 radioId, const std::vector<StaMeasStartEntry> &entries)
    {
        return deliver(STAMEAS_MSG_MEAS_START, measMsg(host, radioId, entries)).value_or(~0u);
    }

    u32 stop(u8 host, u32 radioId, const std::vector<StaMeasStopEntry> &entries)
    {
        return deliver(STAMEAS_MSG_MEAS_STOP, measMsg(host, radioId, entries)).value_or(~0u);
    }

    static StaMeasInfo *node(const Mac &mac, u32 measId)
    {
        StaMeasKey key = keyOf<StaMeasKey>(mac, measId);
        return ZEP_STAMEAS_FindMeasInfo(&key);
    }

    // Starts a node that is measured from the next expiry on.
    StaMeasInfo *ready(u8 host, u32 radioId, const Mac &mac, StaMeasSched sched, u8 tag = 0xA0,
                       u32 measId = kLm)
    {
        EXPECT_EQ(start(host, radioId, {startEntry(mac, measId, sched, tag)}), 0u);
        StaMeasInfo *info = node(mac, measId);
        if (info != nullptr) {
            info->skipNextReq = 0;
        }
        return info;
    }

    void expire(u32 times = 1) { host_.advance(1000ull * times); }

    // Bodies of the lines of one category that begin with text.
    std::vector<std::string> linesStarting(u32 category, const std::string &text) const
    {
        std::vector<std::string> out;
        for (const std::string &body : logBodies(category)) {
            if (body.rfind(text, 0) == 0) {
                out.push_back(body);
            }
        }
        return out;
    }
};

}  // namespace zep::test
