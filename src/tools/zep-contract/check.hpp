// zep-contract: what a check is. Each check states one assumption the module
// makes of its framework, in words a framework engineer reads, and names the
// framework operations it exercises; failing, it says what it saw.
#pragma once

#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "zep_types.h"

namespace zep::contract {

// Collects what a check saw where the framework did not do what it should.
class Verdict {
public:
    // Records a failure unless ok, the message saying what was seen; returns ok.
    __attribute__((format(printf, 3, 4))) bool expect(bool ok, const char *format, ...);
    // The check cannot be judged here (the world lacks what it needs); it
    // neither holds nor fails.
    void skip(std::string reason) { skipped_ = std::move(reason); }
    bool held() const { return seen_.empty(); }
    bool skipped() const { return !skipped_.empty() && seen_.empty(); }
    const std::string &skipReason() const { return skipped_; }
    const std::vector<std::string> &seen() const { return seen_; }

private:
    std::vector<std::string> seen_;
    std::string skipped_;
};

// Ids the kit registers and sends under. The kit stands in for the module, so
// it registers as the module's application id; its message ids are chosen far
// from the module's so that no real peer answers them.
inline constexpr u32 kKitAppId = 63;
inline constexpr u32 kKitMsgBase = 0xC0DE00;

struct Check {
    std::string_view id;          // "<service>.<short name>", used on the command line
    std::string_view assumption;  // the assumption, as one sentence
    std::vector<std::string_view> operations;  // framework operations it exercises
    void (*run)(Verdict &);

    std::string_view service() const { return id.substr(0, id.find('.')); }
};

// Each service's checks, in the order they are run.
extern const std::vector<Check> kMessageChecks;
extern const std::vector<Check> kTimerChecks;
extern const std::vector<Check> kConfigChecks;
extern const std::vector<Check> kMemoryChecks;
extern const std::vector<Check> kListChecks;
extern const std::vector<Check> kHashChecks;
extern const std::vector<Check> kBitmapChecks;
extern const std::vector<Check> kQueryChecks;

std::vector<Check> allChecks();

// The free callback of the list and table checks: it keeps each element it is
// handed, in order, so a check can tell which elements were freed and how often.
extern std::vector<const void *> g_freed;
void recordFree(void *element);

// The framework operations the module calls, each with the reason it has no
// check, or an empty reason when checks cover it.
struct Operation {
    std::string_view name;
    std::string_view whyUnchecked;
};
const std::vector<Operation> &moduleOperations();

}  // namespace zep::contract
