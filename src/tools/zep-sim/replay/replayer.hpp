// Plays a recording against a build of the application: the recorded entries
// are delivered to it, the framework's answers come from the recording (the
// replayer taps the emulation), and every call the application makes must be
// the one recorded, with the same arguments, in the same order.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "record_reader.hpp"
#include "recorded_log.hpp"
#include "zep_host.hpp"

namespace zep::sim::replay {

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

// Sees the replay go by as a play's observer sees a run: each recorded entry
// before and after this build handles it, and each framework call that the
// recording answered (registrations, sends, queries, the clock).
class Watcher {
public:
    virtual ~Watcher() = default;
    virtual void entering(const zep::record::Event &entry) = 0;
    // body: the entry's bytes as the handler left them (an RPC's reply).
    virtual void returned(const zep::record::Event &entry, u32 status, std::span<const u8> body) = 0;
    // out: what the recording answered beside the result (a station record).
    virtual void answered(const zep::record::Event &call, u64 result, std::span<const u8> out) = 0;
};

// What the application registered under each key: a handful of entries,
// looked up once per delivered entry, where a flat list beats a tree.
template <class Key, class Value>
class Registrations {
public:
    const Value *find(Key key) const
    {
        const auto it = std::ranges::find(entries_, key, &Entry::first);
        return it != entries_.end() ? &it->second : nullptr;
    }
    void set(Key key, Value value)
    {
        const auto it = std::ranges::find(entries_, key, &Entry::first);
        if (it != entries_.end()) {
            it->second = value;
        } else {
            entries_.emplace_back(key, value);
        }
    }
    void erase(Key key) { std::erase_if(entries_, [key](const Entry &entry) { return entry.first == key; }); }

private:
    using Entry = std::pair<Key, Value>;
    std::vector<Entry> entries_;
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

// A message handler's key: its kind and message id, as the framework takes them.
inline u64 handlerKey(u64 kind, u64 msgId)
{
    return static_cast<u64>(static_cast<u32>(kind)) << 32 | static_cast<u32>(msgId);
}

class Replayer final : public zep::host::CallTap {
public:
    // recording: the whole file, which stays alive while the replay runs.
    Replayer(std::span<const u8> recording, zep::host::Host &host);
    Outcome run();
    // What the replay found so far (run returns it at the end).
    const Outcome &outcome() const { return outcome_; }
    void setWatcher(Watcher *watcher) { watcher_ = watcher; }

    std::optional<u64> onCall(const zep::host::Call &call) override;
    void onLog(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format,
               va_list args) override;

private:
    // Inline: every event of the recording passes through them.
    const zep::record::Event *peek()
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
    const zep::record::Event *take()
    {
        const zep::record::Event *event = peek();
        if (event != nullptr) {
            havePeeked_ = false;
            ++outcome_.events;
        }
        return event;
    }
    void ended(zep::record::Reader::Status status);
    void diverge(const std::string &recorded, const std::string &actual);
    bool checking() const { return !outcome_.divergence && !exhausted_; }
    void deliver(const zep::record::Event &entry);
    std::optional<u32> callEntry(const zep::record::Event &entry, std::span<u8> body);
    std::optional<u32> callPrim(const zep::record::Event &entry);
    void expectReturn(const zep::record::Event &entry, u32 status, std::span<const u8> reply);
    // The recorded answer of a call whose event is `shape`, or nullopt for
    // the emulation to answer it.
    std::optional<u64> answer(const zep::host::Call &call, const zep::record::Event &shape);
    u32 walkNeighbours(const zep::host::Call &call);
    void keep(const zep::record::Event &recorded, const zep::host::Call &call);
    u64 result(const zep::record::Event &recorded, const zep::host::Call &call);
    bool sameLine(const zep::record::Event &recorded, const char *format, va_list &args);

    std::span<const u8> recording_;
    zep::record::Reader reader_;
    zep::host::Host &host_;
    zep::record::Event next_;
    bool havePeeked_ = false;
    bool exhausted_ = false;  // the recording has no more events
    Outcome outcome_;
    Watcher *watcher_ = nullptr;

    // What the application registered, as the recording says it was accepted.
    const ZEP_AppInfo *app_ = nullptr;
    Registrations<u64, ZEP_MsgHandler> handlers_;   // kind << 32 | msgId
    Registrations<u32, ZEP_MsgHandler> timers_;     // msgId
    Registrations<u32, ZEP_CfgMsgHandler> configs_;  // item type
    ZEP_AccessPrimHandler prim_ = nullptr;
    std::vector<u8> body_;  // the entry's bytes as handed to the handler, kept from entry to entry
    // What an answered ZEP_UAM_FindStaInfo / ZEP_STA_GetVapBssid hands out.
    ZEP_UAM_StaInfo station_{};
    zep::host::Mac bssid_{};

    // The line being compared, recorded and this build's, kept from line to line.
    zep::record::DecodedLine recordedLine_;
    std::vector<zep::record::LogValue> thisLine_;
};

}  // namespace zep::sim::replay
