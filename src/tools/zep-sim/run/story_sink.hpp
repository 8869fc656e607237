// One station's story in a play or a replay: the module's lines about it, as
// a field log's reader takes them but dated by the virtual clock, with the
// host each request served as the ledger tells it, and the shares whose count
// the ledger saw run out.
#pragma once

#include "base/events.hpp"
#include "logs/field_log.hpp"
#include "out/story.hpp"
#include "run/host_ledger.hpp"

namespace zep::sim {

class StorySink : public EventSink {
public:
    explicit StorySink(const Mac &station) : story_(station) { lines_.tell(story_); }
    StorySink(const StorySink &) = delete;
    StorySink &operator=(const StorySink &) = delete;

    // The ledger of the fan-out this sink listens to, before anything is played.
    void useLedger(const HostLedger &ledger) { ledger_ = &ledger; }

    Needs needs() const override { return Needs().add(Need::Shares, {EventKind::Out, EventKind::OutFail}); }
    void onEvent(const Event &ev) override;
    Story story() const { return story_.finish(); }

private:
    StoryBuilder story_;
    logs::FieldLog lines_{"story"};
    const HostLedger *ledger_ = nullptr;
};

}  // namespace zep::sim
