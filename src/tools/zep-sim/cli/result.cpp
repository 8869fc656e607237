#include "cli/result.hpp"

namespace zep::sim::cli {

int printResult(std::ostream &out, const std::string &file, std::span<const Failure> failures,
                std::size_t checks)
{
    if (failures.empty()) {
        out << "\nResult: " << checks << " expect step(s), all held.\n";
        return kExitHeld;
    }
    out << "\nResult: " << failures.size() << " failed check(s):\n";
    for (const auto &f : failures) {
        out << "  " << file << ":" << f.line << ": step " << f.step << " (expect): " << f.what << '\n';
    }
    return kExitFailed;
}

}  // namespace zep::sim::cli
