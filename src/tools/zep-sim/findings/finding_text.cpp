#include <bit>
#include <cmath>

#include "base/time_text.hpp"
#include "findings/finding.hpp"

namespace zep::sim {

void HandlerCost::add(std::chrono::nanoseconds cost, bool nonZeroStatus)
{
    const auto ns = static_cast<u64>(std::max<std::int64_t>(cost.count(), 0));
    ++counts[std::min<std::size_t>(std::bit_width(ns), kBuckets - 1)];
    ++calls;
    failed += nonZeroStatus ? 1 : 0;
    min = std::min(min, cost);
    max = std::max(max, cost);
    total += cost;
}

std::chrono::nanoseconds HandlerCost::percentile(double fraction) const
{
    const auto wanted = static_cast<u64>(fraction * static_cast<double>(calls) + 0.5);
    u64 seen = 0;
    for (std::size_t b = 0; b < kBuckets; ++b) {
        seen += counts[b];
        if (seen >= std::max<u64>(wanted, 1)) {
            // Bucket b holds costs below 2^b ns.
            return std::min(max, std::chrono::nanoseconds(b == 0 ? 0 : (1LL << b) - 1));
        }
    }
    return max;
}

std::chrono::nanoseconds HandlerCost::average() const
{
    return calls == 0 ? std::chrono::nanoseconds{0} : total / static_cast<std::int64_t>(calls);
}

double costMicros(std::chrono::nanoseconds ns)
{
    return std::round(static_cast<double>(ns.count()) / 100.0) / 10.0;
}

namespace {

const char *severityName(Severity s) { return s == Severity::Warning ? "warning" : "info"; }

void printSample(std::ostream &out, const char *label, const Sample &s)
{
    if (s.inAll == 0) {
        return;
    }
    out << "      " << label << ": ";
    for (std::size_t i = 0; i < s.first.size(); ++i) {
        out << (i == 0 ? "" : ", ") << s.first[i];
    }
    if (s.inAll > s.first.size()) {
        out << ", ... (" << s.inAll << " in all)";
    }
    out << '\n';
}

Json sampleJson(const Sample &s)
{
    return Json{{"first", s.first}, {"in_all", s.inAll}};
}

}  // namespace

void printFindings(std::ostream &out, std::span<const Finding> findings)
{
    if (findings.empty()) {
        out << "  No findings\n";
        return;
    }
    out << "  Findings\n";
    for (const Finding &f : findings) {
        out << "    " << severityName(f.severity) << "  " << f.rule << ": " << f.title << '\n';
        printSample(out, "radios", f.radios);
        printSample(out, "hosts", f.hosts);
        printSample(out, "stations", f.stations);
        printSample(out, "messages", f.messages);
        if (f.firstMs) {
            out << "      from " << formatSeconds(*f.firstMs) << " s to " << formatSeconds(*f.lastMs) << " s\n";
        }
        out << "      why: " << f.why << '\n';
    }
}

Json findingsJson(std::span<const Finding> findings)
{
    Json out = Json::array();
    for (const Finding &f : findings) {
        Json j{{"rule", f.rule},
               {"severity", severityName(f.severity)},
               {"title", f.title},
               {"count", f.count},
               {"radios", sampleJson(f.radios)},
               {"hosts", sampleJson(f.hosts)},
               {"stations", sampleJson(f.stations)},
               {"messages", sampleJson(f.messages)},
               {"first_ms", f.firstMs ? Json(*f.firstMs) : Json(nullptr)},
               {"last_ms", f.lastMs ? Json(*f.lastMs) : Json(nullptr)},
               {"why", f.why}};
        out.push_back(std::move(j));
    }
    return out;
}

}  // namespace zep::sim
