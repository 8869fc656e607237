// The timeline for a person: one line per message handled, with what the
// handler sent (and, with -v, logged) indented under it, decoded.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "base/events.hpp"

namespace zep::sim {

class Timeline : public EventSink {
public:
    Timeline(std::ostream &out, bool verbose) : out_(out), verbose_(verbose) {}

    void printHeader();
    void onEvent(const Event &ev) override;
    void beginStep(std::size_t index, int line, const std::string &op) override;
    void endStep() override;

    // While muted, only failed expectations are printed: the later passes of a
    // repeat would otherwise bury the run under the same lines. The text says
    // what is left out.
    void mute(const std::string &why);
    void unmute();
    bool muted() const { return muted_; }
    // The one-liners of what it prints, nothing while muted; an expect step's
    // failures from its trace object.
    Needs needs() const override;

private:
    bool isParent(const Event &ev) const;
    bool shows(const Event &ev, bool parentFailed) const;
    void printParent(const Event &ev);
    void printExpect(const Event &ev);
    std::string withRegistrations(const Event &ev) const;
    void printDump(const Event &ev);
    // A few words under a message that was accepted but did less than it asked.
    void printWhy(const Event &ev);
    void printChild(const Event &ev);
    void printLog(const Event &ev, const char *indent);
    void emitLine(std::string line);
    void flushIdle();
    void flushOrphans();

    std::ostream &out_;
    bool verbose_;
    bool muted_ = false;
    std::map<u32, bool> switchedOn_;  // radio's scan switch, as last configured
    std::vector<Event> pending_;  // what happened inside the handler that has not returned yet
    struct Idle {
        std::size_t count = 0;
        u64 first = 0;
        u64 last = 0;
    } idle_;
};

}  // namespace zep::sim
