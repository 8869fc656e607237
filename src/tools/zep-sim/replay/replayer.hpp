// Plays a recording against a build of the application: the recorded entries
// are delivered to it through the emulation, the framework's answers come
// from the recording (the replayer taps the emulation), and every call the
// application makes must be the one recorded, with the same arguments, in
// the same order.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "record_reader.hpp"
#include "recorded_log.hpp"
#include "run/event_fanout.hpp"
#include "zep_host.hpp"

namespace zep::sim::replay {

using zep::record::CallKind;
using zep::record::RecordedCall;

struct Divergence {
    u64 event = 0;   // 1-based number of the recorded event that differs
    u64 atMs = 0;    // virtual time of the entry it belongs to
    std::string recorded;
    std::string actual;
    std::vector<std::string> context;  // the events before it, oldest first
};

struct Outcome {
    u64 events = 0;                         // recorded events replayed
    u64 atMs = 0;                           // virtual time reached
    std::optional<Divergence> divergence;
    std::string ending;                     // how the recording ends, when it ends early
    bool damaged = false;                   // it ends in bytes that do not decode (ending says where)
};

// n recorded words against this build's, inline: std::equal on a handful of
// words calls memcmp, which costs more than the comparing.
inline bool sameWords(const u64 *recorded, const u64 *actual, u32 n)
{
    u64 differ = 0;
    for (u32 i = 0; i < n; ++i) {
        differ |= recorded[i] ^ actual[i];
    }
    return differ == 0;
}

class Replayer final : public zep::host::CallTap {
public:
    // recording: the whole file, which stays alive while the replay runs.
    // fanout: the one the host's observer feeds, told what a play's runner
    // tells it around each entry (the handler running, the body offered, the
    // config and leave events) and the station and radio facts the recording
    // answered; null for a replay that shows nothing.
    Replayer(std::span<const u8> recording, zep::host::Host &host, EventFanout *fanout = nullptr)
        : recording_(recording), reader_(recording), host_(host), fanout_(fanout)
    {
    }
    Outcome run();
    // What the replay found so far (run returns it at the end).
    const Outcome &outcome() const { return outcome_; }

    std::optional<zep::host::Answer> onCall(const zep::host::Call &call) override;
    void onLog(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format,
               va_list args) override;

private:
    // Inline: every event of the recording passes through them.
    const RecordedCall *peek()
    {
        if (!havePeeked_ && !exhausted_) {
            const auto status = reader_.next(next_);
            if (status != zep::record::Reader::Status::event) [[unlikely]] {
                ended(status);
            } else {
                havePeeked_ = true;
            }
        }
        return havePeeked_ ? &next_ : nullptr;
    }
    const RecordedCall *take()
    {
        const RecordedCall *event = peek();
        if (event != nullptr) {
            havePeeked_ = false;
            ++outcome_.events;
        }
        return event;
    }
    // The next recorded event to compare this build's against; null past a
    // divergence or the recording's end.
    const RecordedCall *nextToCheck() { return checking() ? take() : nullptr; }
    void ended(zep::record::Reader::Status status);
    void diverge(const std::string &recorded, const std::string &actual);
    bool checking() const { return !outcome_.divergence && !exhausted_; }
    void deliver(const RecordedCall &entry);
    std::optional<u32> enter(const RecordedCall &entry);
    std::optional<u32> enterPrim(const RecordedCall &entry);
    void expectReturn(const RecordedCall &entry, u32 status, std::span<const u8> reply);
    // The recorded answer of a call whose event is `shape`, or nullopt for
    // the emulation to answer it.
    std::optional<zep::host::Answer> answer(const zep::host::Call &call, const RecordedCall &shape);
    u32 walkNeighbours(const zep::host::Call &call);
    u64 result(const RecordedCall &recorded, const zep::host::Call &call);
    bool sameLine(const RecordedCall &recorded, const char *format, va_list &args);

    std::span<const u8> recording_;
    zep::record::Reader reader_;
    zep::host::Host &host_;
    RecordedCall next_;
    bool havePeeked_ = false;
    bool exhausted_ = false;  // the recording has no more events
    Outcome outcome_;
    EventFanout *fanout_;

    std::vector<u8> body_;  // the entry's bytes as handed to the handler, kept from entry to entry
    // What an answered ZEP_UAM_FindStaInfo / ZEP_STA_GetVapBssid hands out.
    ZEP_UAM_StaInfo station_{};
    zep::host::Mac bssid_{};

    // The line being compared, recorded and this build's, kept from line to line.
    zep::record::DecodedLine recordedLine_;
    std::vector<zep::record::LogValue> thisLine_;
};

}  // namespace zep::sim::replay
