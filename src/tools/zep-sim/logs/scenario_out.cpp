#include "logs/scenario_out.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "logs/log_view.hpp"
#include "sta_meas_msg.h"

namespace zep::sim::logs {

namespace {

struct Station {
    u32 radio = 0;
    bool lm = false;
    bool tpc = false;
    u64 requests = 0;
    u64 reports = 0;
};

// The model answers a station's requests at one rate, whatever the measurement.
std::map<u64, Station> stationsOf(const FieldLog &log)
{
    std::map<u64, Station> stations;
    for (const NodeFigures &n : log.nodes()) {
        Station &st = stations[n.sta];
        st.radio = n.radio;
        st.lm = st.lm || n.measId == STAMEAS_MSG_LM_REQ;
        st.tpc = st.tpc || n.measId == STAMEAS_MSG_TPC_REQ;
        st.requests += n.requests;
        st.reports += n.reports;
    }
    return stations;
}

void writeStations(std::ostream &out, const std::map<u64, Station> &stations)
{
    out << "stations:\n";
    for (const auto &[sta, st] : stations) {
        const double rate =
            st.requests == 0 ? 1.0 : static_cast<double>(st.reports) / static_cast<double>(st.requests);
        char buf[160];
        std::snprintf(buf, sizeof(buf), "  - {mac: \"%s\", radio: %u, vap: 1, caps: [%s%s%s], reply: {rate: %.3f}}\n",
                      macText(sta).c_str(), st.radio, st.lm ? "lm" : "", st.lm && st.tpc ? ", " : "",
                      st.tpc ? "tpc" : "", std::min(rate, 1.0));
        out << buf;
    }
}

// One 182 per host and radio, in the order the hosts are numbered.
void writeStarts(std::ostream &out, const FieldLog &log)
{
    std::map<std::pair<u32, u32>, std::vector<std::string>> entries;  // (host, radio)
    std::set<std::pair<u32, u64>> automatic;  // (host, station): one entry makes both of its nodes
    for (const NodeFigures &n : log.nodes()) {
        for (u32 h = 0; h < std::size(n.shares); ++h) {
            const std::optional<HostShare> &sh = n.shares[h];
            if (!sh || (n.measId != STAMEAS_MSG_LM_REQ && n.measId != STAMEAS_MSG_TPC_REQ) ||
                (sh->automatic && !automatic.emplace(h, n.sta).second)) {
                continue;
            }
            entries[{h, n.radio}].push_back(
                "{staMac: \"" + macText(n.sta) + "\", measId: " + (sh->automatic ? "auto" : measText(n.measId)) +
                ", sched: {isLoop: " + std::to_string(sh->sched.isLoop) + ", periodInSec: " +
                std::to_string(sh->sched.periodInSec) + ", count: " + std::to_string(sh->sched.count) + "}}");
        }
    }
    for (const auto &[key, list] : entries) {
        for (std::size_t at = 0; at < list.size(); at += STAMEAS_STA_MAX_NUM) {
            out << "  - send:\n      id: 182\n      host: " << key.first << "\n      radioId: " << key.second
                << "\n      entries:\n";
            for (std::size_t i = at; i < std::min(list.size(), at + STAMEAS_STA_MAX_NUM); ++i) {
                out << "        - " << list[i] << '\n';
            }
        }
    }
}

}  // namespace

void writeScenario(std::ostream &out, const FieldLog &log)
{
    const std::map<u64, Station> stations = stationsOf(log);
    u32 radios = 1;
    for (const auto &[sta, st] : stations) {
        radios = std::max(radios, st.radio == STAMEAS_ALL_RADIO ? 1 : st.radio + 1);
    }
    out << "# The population of the access point " << log.name()
        << " as its log shows it: each station on its radio, measured\n"
           "# by the same hosts on the same schedules, answering at the rate it answered.\n"
        << "name: from the log of " << log.name() << "\n"
        << "host: {radios: " << radios << "}\n\n";
    writeStations(out, stations);
    out << "\nsteps:\n  - start\n";
    writeStarts(out, log);
    out << "  - advance: " << std::max<u64>(log.timerRounds(), 1) * 1000 << "\n  - stop\n";
}

}  // namespace zep::sim::logs
