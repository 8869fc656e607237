// Fault injection: every fallible framework operation asks here first, so a
// test can make the nth call of one operation, or the k-th fallible call of
// any, fail with a chosen status.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "host_impl.hpp"

namespace zep::host::detail {

namespace {

std::optional<Op> opNamed(std::string_view name)
{
    const auto *it = std::find(std::begin(kOpNames), std::end(kOpNames), name);
    if (it == std::end(kOpNames)) {
        return std::nullopt;
    }
    return static_cast<Op>(it - std::begin(kOpNames));
}

}  // namespace

std::optional<u32> FaultRegistry::checkArmed(Op op, u64 call)
{
    std::optional<u32> status;
    if (kth_ && kth_->callNumber == fallible_) {
        status = kth_->status;
        kth_.reset();
    }
    std::vector<Rule> &rules = rules_[static_cast<std::size_t>(op)];
    for (const Rule &rule : rules) {
        if (!status && call >= rule.first && call <= rule.last) {
            status = rule.status;
        }
    }
    // Spent rules are dropped so that clear() is the only reset a test needs.
    armedRules_ -= std::erase_if(rules, [&](const Rule &rule) { return call >= rule.last; });
    if (status) {
        ++injected_;
    }
    return status;
}

void FaultRegistry::failCall(std::string_view op, u32 nth, u32 count, u32 status)
{
    // A rule for any other name would never fire, which would make a test
    // pass for the wrong reason.
    const auto known = opNamed(op);
    if (!known) {
        std::fprintf(stderr, "zep host: failCall on \"%.*s\", which is not a fallible operation\n",
                     static_cast<int>(op.size()), op.data());
        std::abort();
    }
    if (count == 0) {
        return;
    }
    const auto index = static_cast<std::size_t>(*known);
    const u64 first = calls_[index] + std::max<u32>(nth, 1);
    rules_[index].push_back(Rule{first, first + count - 1, status});
    ++armedRules_;
}

void FaultRegistry::failKthFallible(u64 k, u32 status)
{
    kth_ = KthRule{fallible_ + std::max<u64>(k, 1), status};
}

u64 FaultRegistry::calls(std::string_view op) const
{
    const auto known = opNamed(op);
    return known ? calls_[static_cast<std::size_t>(*known)] : 0;
}

void FaultRegistry::clear()
{
    rules_.fill({});
    armedRules_ = 0;
    kth_.reset();
}

}  // namespace zep::host::detail

std::span<const std::string_view> zep::host::Faults::operations() { return detail::kOpNames; }
