#include "replay/read_only.hpp"

#include <link.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace zep::sim::replay {

namespace {

using Range = std::pair<std::uintptr_t, std::uintptr_t>;

int collect(dl_phdr_info *info, std::size_t, void *out)
{
    auto &ranges = *static_cast<std::vector<Range> *>(out);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && (ph.p_flags & PF_W) == 0) {
            const std::uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
            ranges.emplace_back(begin, begin + ph.p_memsz);
        }
    }
    return 0;
}

}  // namespace

bool inReadOnlySegment(const void *address)
{
    // The objects the replay loads are loaded before its first line.
    static const std::vector<Range> ranges = [] {
        std::vector<Range> found;
        dl_iterate_phdr(collect, &found);
        return found;
    }();
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (const auto &[begin, end] : ranges) {
        if (at >= begin && at < end) {
            return true;
        }
    }
    return false;
}

}  // namespace zep::sim::replay
