// zep-contract: the verdict of one check and the list of every check.
#include "check.hpp"

#include <cstdarg>
#include <cstdio>

namespace zep::contract {

bool Verdict::expect(bool ok, const char *format, ...)
{
    if (!ok) {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof(text), format, args);
        va_end(args);
        seen_.emplace_back(text);
    }
    return ok;
}

std::vector<Check> allChecks()
{
    std::vector<Check> checks;
    for (const auto *service : {&kMessageChecks, &kTimerChecks, &kConfigChecks, &kMemoryChecks,
                                &kListChecks, &kHashChecks, &kBitmapChecks, &kQueryChecks}) {
        checks.insert(checks.end(), service->begin(), service->end());
    }
    return checks;
}

std::vector<const void *> g_freed;

void recordFree(void *element) { g_freed.push_back(element); }

}  // namespace zep::contract
