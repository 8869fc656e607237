#include <bit>

#include "base/time_text.hpp"
#include "findings/finding.hpp"

namespace zep::sim {

void HandlerCost::note(u64 us)
{
    ++calls;
    maxUs = std::max(maxUs, us);
    const std::size_t bucket = static_cast<std::size_t>(std::bit_width(us));
    ++byLog2[std::min(bucket, byLog2.size() - 1)];
}

u64 HandlerCost::percentileUs(double p) const
{
    const auto wanted = static_cast<u64>(p * static_cast<double>(calls));
    u64 seen = 0;
    for (std::size_t bucket = 0; bucket < byLog2.size(); ++bucket) {
        seen += byLog2[bucket];
        if (seen >= wanted && seen != 0) {
            return bucket == 0 ? 0 : (u64{1} << bucket) - 1;
        }
    }
    return maxUs;
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
