// zep-contract: runs the checks of what the module assumes of its framework
// against whatever framework the program is linked with, and prints the
// coverage of the module's framework operations by those checks.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "contract_driver.h"

namespace zep::contract {
namespace {

constexpr int kAllHeld = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsage = 2;

struct Options {
    bool list = false;
    bool coverage = false;
    bool operations = false;
    std::vector<std::string> only;  // services or check ids; empty: all
    bool pinFailures = false;
    std::set<std::string> expectedFailures;
};

void printUsage(std::FILE *to)
{
    std::fputs("usage: zep-contract [--only SERVICE|CHECK]... [--expect-fail CHECK[,CHECK...]]\n"
               "       zep-contract --list | --coverage | --operations\n"
               "  (no option)    run every check; exit 0 when all hold, 1 when some fail\n"
               "  --only X       run the checks of service X, or the check with id X\n"
               "  --expect-fail  exit 0 only when exactly these checks fail (known deviations)\n"
               "  --list         the checks, by service, with their assumptions\n"
               "  --coverage     the module's framework operations and the checks of each;\n"
               "                 exit 1 when one has neither a check nor a reason\n"
               "  --operations   the names of the module's framework operations\n",
               to);
}

std::set<std::string> splitIds(const char *text)
{
    std::set<std::string> ids;
    std::istringstream in(text);
    for (std::string id; std::getline(in, id, ',');) {
        if (!id.empty()) {
            ids.insert(id);
        }
    }
    return ids;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--list") {
            options.list = true;
        } else if (arg == "--coverage") {
            options.coverage = true;
        } else if (arg == "--operations") {
            options.operations = true;
        } else if (arg == "--only" && hasValue) {
            options.only.emplace_back(argv[++i]);
        } else if (arg == "--expect-fail" && hasValue) {
            options.pinFailures = true;
            options.expectedFailures.merge(splitIds(argv[++i]));
        } else {
            return false;
        }
    }
    return true;
}

bool selected(const Check &check, const Options &options)
{
    if (options.only.empty()) {
        return true;
    }
    return std::any_of(options.only.begin(), options.only.end(), [&](const std::string &x) {
        return x == check.id || x == check.service();
    });
}

// Prints the service's name above the first of its checks.
void printServiceOnce(std::string_view &current, const Check &check)
{
    if (check.service() != current) {
        current = check.service();
        std::printf("%.*s\n", static_cast<int>(current.size()), current.data());
    }
}

void printCheck(const char *prefix, const Check &check)
{
    std::printf("%s%-34.*s %.*s\n", prefix, static_cast<int>(check.id.size()), check.id.data(),
                static_cast<int>(check.assumption.size()), check.assumption.data());
}

void listChecks(const std::vector<Check> &checks)
{
    std::string_view service;
    for (const Check &check : checks) {
        printServiceOnce(service, check);
        printCheck("  ", check);
    }
}

int printCoverage(const std::vector<Check> &checks)
{
    std::map<std::string_view, std::string> byOperation;  // the ids of its checks, joined
    for (const Check &check : checks) {
        for (std::string_view op : check.operations) {
            std::string &ids = byOperation[op];
            ids += (ids.empty() ? "" : ", ") + std::string(check.id);
        }
    }
    int status = kAllHeld;
    std::printf("%-38s %s\n", "operation", "checks");
    for (const Operation &op : moduleOperations()) {
        std::string covering = byOperation[op.name];
        if (covering.empty()) {
            covering = op.whyUnchecked.empty() ? "NONE, and no reason given"
                                               : "none: " + std::string(op.whyUnchecked);
            status = op.whyUnchecked.empty() ? kSomeFailed : status;
        }
        std::printf("%-38.*s %s\n", static_cast<int>(op.name.size()), op.name.data(),
                    covering.c_str());
    }
    return status;
}

bool runOne(const Check &check)
{
    Verdict verdict;
    check.run(verdict);
    printCheck(verdict.skipped() ? "  skip " : verdict.held() ? "  ok   " : "  FAIL ", check);
    // The first few say what went wrong; a hundred more like them would not.
    constexpr std::size_t kShown = 4;
    const auto &seen = verdict.seen();
    for (std::size_t i = 0; i < seen.size() && i < kShown; ++i) {
        std::printf("       saw: %s\n", seen[i].c_str());
    }
    if (seen.size() > kShown) {
        std::printf("       ... and %zu more\n", seen.size() - kShown);
    }
    if (verdict.skipped()) {
        std::printf("       not judged: %s\n", verdict.skipReason().c_str());
    }
    return verdict.held();
}

int runChecks(const std::vector<Check> &checks, const Options &options)
{
    if (const u32 status = ZEPC_DriverBegin(); status != 0) {
        std::fprintf(stderr, "zep-contract: the driver could not ready the framework (status %u)\n",
                     status);
        return kUsage;
    }
    std::set<std::string> failed;
    std::size_t ran = 0;
    std::string_view service;
    for (const Check &check : checks) {
        if (!selected(check, options)) {
            continue;
        }
        printServiceOnce(service, check);
        ++ran;
        if (!runOne(check)) {
            failed.emplace(check.id);
        }
    }
    ZEPC_DriverEnd();
    if (ran == 0) {
        std::fputs("zep-contract: --only selected no check (see --list)\n", stderr);
        return kUsage;
    }
    std::printf("\n%zu check(s): %zu held, %zu failed\n", ran, ran - failed.size(), failed.size());
    if (!options.pinFailures) {
        return failed.empty() ? kAllHeld : kSomeFailed;
    }
    if (failed == options.expectedFailures) {
        std::printf("Exactly the expected check(s) failed.\n");
        return kAllHeld;
    }
    std::printf("Expected to fail:");
    for (const std::string &id : options.expectedFailures) {
        std::printf(" %s", id.c_str());
    }
    std::printf("\n");
    return kSomeFailed;
}

}  // namespace
}  // namespace zep::contract

int main(int argc, char **argv)
{
    using namespace zep::contract;
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        printUsage(stdout);
        return kAllHeld;
    }
    if (!parseOptions(argc, argv, options)) {
        printUsage(stderr);
        return kUsage;
    }
    const std::vector<Check> checks = allChecks();
    if (options.list) {
        listChecks(checks);
        return kAllHeld;
    }
    if (options.coverage) {
        return printCoverage(checks);
    }
    if (options.operations) {
        for (const Operation &op : moduleOperations()) {
            std::printf("%.*s\n", static_cast<int>(op.name.size()), op.name.data());
        }
        return kAllHeld;
    }
    return runChecks(checks, options);
}
