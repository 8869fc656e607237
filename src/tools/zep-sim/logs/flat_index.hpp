// A map from 64-bit keys to 32-bit values for the per-line lookups of the log
// reader (station to node, station to radio): open addressing in one array,
// so a lookup is a multiply, a shift and usually one cache line, where
// std::unordered_map divides by a prime and follows a pointer.
#pragma once

#include <optional>
#include <vector>

#include "zep_types.h"

namespace zep::sim::logs {

class FlatIndex {
public:
    std::optional<u32> find(u64 key) const
    {
        if (slots_.empty()) {
            return std::nullopt;
        }
        for (std::size_t i = home(key);; i = (i + 1) & mask()) {
            const Slot &s = slots_[i];
            if (!s.used) {
                return std::nullopt;
            }
            if (s.key == key) {
                return s.value;
            }
        }
    }

    // The value of key, set to value first if key was absent; and whether it was.
    std::pair<u32 &, bool> tryEmplace(u64 key, u32 value)
    {
        if ((size_ + 1) * 2 > slots_.size()) {
            grow();  // at most half full, so probes stay short
        }
        for (std::size_t i = home(key);; i = (i + 1) & mask()) {
            Slot &s = slots_[i];
            if (!s.used) {
                s = {key, value, true};
                ++size_;
                return {s.value, true};
            }
            if (s.key == key) {
                return {s.value, false};
            }
        }
    }

    void set(u64 key, u32 value) { tryEmplace(key, value).first = value; }

private:
    struct Slot {
        u64 key = 0;
        u32 value = 0;
        bool used = false;
    };

    std::size_t mask() const { return slots_.size() - 1; }
    std::size_t home(u64 key) const { return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_); }

    void grow()
    {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        shift_ = 64;
        for (std::size_t n = slots_.size(); n > 1; n >>= 1) {
            --shift_;
        }
        size_ = 0;
        for (const Slot &s : old) {
            if (s.used) {
                tryEmplace(s.key, s.value);
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t size_ = 0;
    unsigned shift_ = 64;
};

}  // namespace zep::sim::logs
