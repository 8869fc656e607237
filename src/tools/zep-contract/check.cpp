// zep-contract: the verdict of one check and the list of every check.
#include "check.hpp"

#include <cstdarg>
#include <cstdio>

namespace zep::contract {

namespace {

__attribute__((format(printf, 1, 0))) std::string formatText(const char *format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof(text), format, args);
    return text;
}

}  // namespace

bool Verdict::expect(bool ok, const char *format, ...)
{
    if (!ok) {
        va_list args;
        va_start(args, format);
        seen_.push_back(formatText(format, args));
        va_end(args);
    }
    return ok;
}

void Verdict::fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    seen_.push_back(formatText(format, args));
    va_end(args);
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
