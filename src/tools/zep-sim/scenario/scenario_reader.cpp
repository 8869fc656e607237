#include "scenario/scenario_reader.hpp"

#include <algorithm>
#include <cstring>
#include <set>

#include "base/hex.hpp"
#include "files.hpp"
#include "scenario/scenario_limits.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"
#include "zep_host.hpp"

namespace zep::sim {

namespace {

host::RadioFacts defaultRadio(u32 radio, u32 vaps)
{
    host::RadioFacts facts;
    for (u32 vap = 0; vap < vaps; ++vap) {
        facts.bssid[vap] = Mac{0x02, 0x00, 0x00, 0x00, static_cast<u8>(radio), static_cast<u8>(vap)};
    }
    return facts;
}

std::map<u8, s8> eirpByChannel(const Node &node)
{
    std::map<u8, s8> out;
    for (const auto &[key, value] : Fields(node).all()) {
        out[key.integer<u8>()] = value.integer<s8>();
    }
    return out;
}

class Reader {
public:
    explicit Reader(std::string file) : file_(std::make_shared<const std::string>(std::move(file))) {}

    Scenario read(const YAML::Node &root)
    {
        sc_.file = *file_;
        const Fields top(Node(root, file_, 1));
        sc_.name = top.text("name", "");
        sc_.description = top.text("description", "");
        sc_.seed = top.given("seed", [](const Node &n) { return n.integer<u64>(); });
        readHost(top.get("host"));
        readRadios(top.get("radio"));
        for (const Node &n : top.list("scanRadio")) {
            readScanRadio(n);
        }
        for (const Node &n : top.list("stations")) {
            for (StationEntry &s : readStations(n)) {
                if (!known_.emplace(s.facts.mac, s.facts).second) {
                    Fields(n).at("mac").fail("station " + macText(s.facts.mac) +
                                             " is listed twice");
                }
                sc_.stations.push_back(std::move(s));
            }
        }
        for (const Node &n : top.list("neighbours")) {
            sc_.neighbours.push_back(readNeighbour(n));
        }
        for (const Node &n : top.list("nbTokens")) {
            sc_.tokens.push_back(readToken(n));
        }
        for (const Node &n : top.list("faults")) {
            sc_.faults.push_back(readFault(n));
        }
        readFindingLimits(top.get("findings"));
        const Node steps = top.at("steps");
        if (!steps.isSequence()) {
            steps.fail("steps is a list of steps");
        }
        for (const Node &n : steps.items()) {
            sc_.steps.push_back(readStep(n));
        }
        sc_.durationMs = totalOf(sc_.steps, steps).ms;
        top.finish();
        return std::move(sc_);
    }

private:
    // Every limit has a default; a scenario sets only those it changes.
    void readFindingLimits(const std::optional<Node> &node)
    {
        if (!node) {
            return;
        }
        const Fields f(*node);
        FindingLimits &l = sc_.findingLimits;
        l.starvedExpiries = f.integerIn<u64>("starvedExpiries", l.starvedExpiries, 1, ~u64{0});
        l.unservedShareDue = f.integerIn<u64>("unservedShareDue", l.unservedShareDue, 1, ~u64{0});
        l.burstLines = f.integerIn<u64>("burstLines", l.burstLines, 2, ~u64{0});
        l.burstWindowMs = f.integer<u64>("burstWindowMs", l.burstWindowMs);
        l.costFactor = f.integerIn<u64>("costFactor", l.costFactor, 1, 1000000);
        l.costFloorMs = f.integer<u64>("costFloorMs", l.costFloorMs);
        l.costMinCalls = f.integer<u64>("costMinCalls", l.costMinCalls);
        l.churnEvictions = f.integerIn<u64>("churnEvictions", l.churnEvictions, 1, ~u64{0});
        l.channelWaitMs = f.integer<u64>("channelWaitMs", l.channelWaitMs);
        f.finish();
    }

    void readHost(const std::optional<Node> &node)
    {
        if (!node) {
            return;
        }
        const Fields f(*node);
        sc_.profile.radios = f.integer<u32>("radios", sc_.profile.radios);
        sc_.profile.vapsPerRadio =
            f.integerIn<u32>("vapsPerRadio", sc_.profile.vapsPerRadio, 1, kMaxVapsPerRadio);
        // Far from the end of the clock's range, so that no run can wrap it.
        sc_.clockStartMs = f.integerIn<u64>("clockStartMs", 0, 0, u64{1} << 62);
        sc_.logLevel = f.integer<u32>("logLevel", 0);
        f.finish();
        if (sc_.profile.radios == 0 || sc_.profile.radios > 64) {
            node->fail("host.radios must be 1..64");
        }
    }

    void readRadios(const std::optional<Node> &node)
    {
        for (u32 r = 0; r < sc_.profile.radios; ++r) {
            sc_.radios[r] = defaultRadio(r, sc_.profile.vapsPerRadio);
        }
        if (!node) {
            return;
        }
        for (const auto &[key, value] : Fields(*node).all()) {
            const u32 id = radioId(key);
            host::RadioFacts &r = sc_.radios[id];
            const Fields f(value);
            r.curEirp = f.integer<s8>("curEirp", r.curEirp);
            r.maxPower = f.integer<s8>("maxPower", r.maxPower);
            r.band = f.integer<u32>("band", r.band);
            if (const auto b = f.get("bssid")) {
                r.bssid.clear();
                for (const auto &[vap, mac] : Fields(*b).all()) {
                    r.bssid[vap.integer<u32>()] = mac.mac();
                }
            }
            if (const auto s = f.get("scanEirp")) {
                for (const auto &[ch, eirp] : Fields(*s).all()) {
                    const u32 channel = ch.integer<u32>();
                    r.scanEirp[channel] = eirp.integer<s8>();
                    lists_.insert({id, channel});
                }
            }
            f.finish();
        }
    }

    void readScanRadio(const Node &node)
    {
        const Fields f(node);
        ScanRadioEntry s;
        s.channel = f.integer<u8>("channel");  // a channel number is one byte on the wire
        s.freqInd = f.integer<u8>("freqInd", 0);
        s.radio = radioId(f.at("radio"));
        f.finish();
        sc_.scanRadio.push_back(s);
        lists_.insert({s.radio, s.channel});
    }

    // A station, or with "repeat: n" n alike with consecutive MAC addresses.
    std::vector<StationEntry> readStations(const Node &node)
    {
        const Fields f(node);
        const u32 n = f.integerIn<u32>("repeat", 1, 1, kMaxEntries);
        countStations(f.node(), n);
        const StationEntry first = readStation(f);
        f.finish();
        std::vector<StationEntry> out(n, first);
        for (u32 i = 0; i < n; ++i) {
            out[i].facts.mac = macPlus(first.facts.mac, i);
        }
        return out;
    }

    // Stations are refused beyond the bound as they are read, before any is built.
    void countStations(const Node &where, u32 n)
    {
        stationsRead_ += n;
        if (stationsRead_ > kMaxStations) {
            where.fail("more than " + std::to_string(kMaxStations) + " stations in all");
        }
    }

    u32 radioId(const Node &node) const
    {
        const u32 id = node.integer<u32>();
        if (id >= sc_.profile.radios) {
            node.fail("radio " + std::to_string(id) + " does not exist: host.radios is " +
                      std::to_string(sc_.profile.radios));
        }
        return id;
    }

    u32 vapId(const Fields &f) const
    {
        const auto node = f.get("vap");
        const u32 id = node ? node->integer<u32>() : 0;
        if (id >= sc_.profile.vapsPerRadio) {
            node->fail("VAP " + std::to_string(id) + " does not exist: host.vapsPerRadio is " +
                       std::to_string(sc_.profile.vapsPerRadio));
        }
        return id;
    }

    StationEntry readStation(const Fields &f) const
    {
        StationEntry s;
        s.facts.mac = f.at("mac").mac();
        s.facts.radioId = f.get("radio") ? radioId(f.at("radio")) : 0;
        s.facts.vapId = vapId(f);
        s.facts.tokenCounter = f.integer<u32>("token", 1);
        for (const Node &cap : f.list("caps")) {
            const std::string name = cap.scalar();
            if (name == "lm") {
                s.facts.linkMeas = true;
            } else if (name == "tpc") {
                s.facts.tpc = true;
            } else {
                cap.fail("unknown capability \"" + name + "\" (known: lm, tpc)");
            }
        }
        if (const auto r = f.get("reply")) {
            const Fields rf(*r);
            ReplyModel reply;
            reply.delayMs = rf.integer<u32>("delayMs", reply.delayMs);
            reply.rate = rf.real("rate", reply.rate);
            if (reply.rate < 0.0 || reply.rate > 1.0) {
                rf.at("rate").fail("rate is a probability, 0 to 1");
            }
            if (const auto v = rf.get("lmValues")) {
                reply.lmValues = v->hex(8);
            }
            if (const auto v = rf.get("tpcValues")) {
                reply.tpcValues = v->hex(5);
            }
            rf.finish();
            s.reply = reply;
        }
        return s;
    }

    host::NeighbourFacts readNeighbour(const Node &node) const
    {
        const Fields f(node);
        host::NeighbourFacts nb;
        const Mac mac = f.at("mac").mac();
        std::memcpy(nb.record.bssid, mac.data(), mac.size());
        nb.record.recByte0 = f.integer<u8>("byte0", 0);
        const std::vector<Node> vaps = f.list("vaps");
        if (vaps.size() > ZEP_NB_MAX_VAP) {
            f.at("vaps").fail("a neighbour has at most " + std::to_string(ZEP_NB_MAX_VAP) + " VAPs");
        }
        nb.record.vapNum = static_cast<u8>(vaps.size());
        for (std::size_t i = 0; i < vaps.size(); ++i) {
            const Fields v(vaps[i]);
            ZEP_NB_VapEntry &e = nb.record.vap[i];
            const std::string ssid = v.text("ssid", "");
            if (ssid.size() > ZEP_NB_SSID_LEN) {
                v.at("ssid").fail("an SSID has at most 32 bytes");
            }
            std::memcpy(e.ssid, ssid.data(), ssid.size());
            e.channel = v.integer<u8>("channel");
            e.band = v.integer<u8>("band", 0);
            v.finish();
        }
        if (const auto s = f.get("scanEirp")) {
            nb.scanEirp = eirpByChannel(*s);
        }
        f.finish();
        return nb;
    }

    host::TokenFacts readToken(const Node &node) const
    {
        const Fields f(node);
        host::TokenFacts t;
        t.token = f.integer<u8>("token");
        t.radioId = f.integer<u32>("radio", 0);
        t.vapId = f.integer<u32>("vap", 0);
        const auto eirp = [](const Node &n) { return n.integer<s8>(); };
        t.bssid = f.given("bssid", &Node::mac);
        t.eirp = f.given("eirp", eirp);
        t.scanEirp = f.given("scanEirp", eirp);
        f.finish();
        return t;
    }

    FaultRule readFault(const Node &node) const
    {
        const Fields f(node);
        FaultRule fault;
        const Node call = f.at("call");
        fault.call = call.scalar();
        // A misspelt name would otherwise arm a rule that never fires.
        if (std::ranges::find(host::Faults::operations(), fault.call) ==
            host::Faults::operations().end()) {
            call.fail("\"" + fault.call + "\" is not a framework operation that can fail");
        }
        fault.nth = f.integer<u32>("nth", 1);
        fault.count = f.integer<u32>("count", 1);
        fault.status = f.integer<u32>("status", host::kErrInjected);
        f.finish();
        if (fault.nth == 0) {
            f.at("nth").fail("nth counts from 1");
        }
        return fault;
    }

    EncodeContext encodeContext() const
    {
        return EncodeContext{
            [this](const Mac &mac) -> const host::StationFacts * {
                const auto it = known_.find(mac);
                return it == known_.end() ? nullptr : &it->second;
            },
            [this](u32 radio) {
                const auto it = sc_.radios.find(radio);
                return it == sc_.radios.end() ? host::RadioFacts{} : it->second;
            }};
    }

    std::vector<u8> readBody(const Fields &f, u32 id)
    {
        std::vector<u8> body;
        if (const auto h = f.get("hex")) {
            body = boundedHex(*h);
        } else if (hasEncoder(id)) {
            body = encodeInbound(id, f, encodeContext());
        } else {
            f.node().fail("message " + std::to_string(id) +
                          " has no structured body here: give it as hex");
        }
        if (const auto len = f.get("len")) {
            body.resize(len->integerIn<u32>(0, kMaxBodyBytes), 0);
        }
        f.finish();
        countBodyBytes(f.node(), body.size());
        noteLists(id, body);
        return body;
    }

    // The co-measurement lists a dump should show: every (radio, channel) the
    // scenario talks about.
    void noteLists(u32 id, std::span<const u8> body)
    {
        const Decoded d = decodeInbound(id, body);
        if (!d.fields.contains("channel") || !d.fields.contains("radioId")) {
            return;
        }
        const u32 channel = d.fields["channel"].get<u32>();
        u32 radio = d.fields["radioId"].get<u32>();
        if (radio == STAMEAS_ALL_RADIO) {
            const u32 freqInd = d.fields.value("freqInd", 0u);
            for (const ScanRadioEntry &s : sc_.scanRadio) {
                if (s.channel == channel && s.freqInd == freqInd) {
                    lists_.insert({s.radio, channel});
                }
            }
            return;
        }
        lists_.insert({radio, channel});
    }

    Step readStep(const Node &node)
    {
        Step st;
        st.line = node.line();
        if (node.isScalar()) {
            st.op = node.scalar();
            st.action = simpleStep(node, st.op);
            return st;
        }
        if (!node.isMap() || node.yaml().size() != 1) {
            node.fail("a step is a word (start, stop, dump, ...) or a map with one key, "
                      "such as advance: 1000");
        }
        const auto entries = Fields(node).all();
        const Node &key = entries.front().first;
        const Node &value = entries.front().second;
        st.op = key.scalar();
        st.action = keyedStep(key, value);
        measure(st, value);
        return st;
    }

    // What the steps cost in all, refused beyond what a run could mean.
    struct Total {
        u64 ms = 0;
        u64 played = 0;
    };

    static Total totalOf(const std::vector<Step> &steps, const Node &where)
    {
        Total t;
        for (const Step &st : steps) {
            t.ms += st.ms;
            t.played += st.played;
            checkTotal(t.ms, t.played, where);
        }
        return t;
    }

    static void checkTotal(u64 ms, u64 played, const Node &where)
    {
        if (ms > kMaxVirtualMs) {
            where.fail("the steps move the clock more than " + std::to_string(kMaxVirtualMs) +
                       " ms (400 days) in all");
        }
        if (played > kMaxPlayedSteps) {
            where.fail("the steps play more than " + std::to_string(kMaxPlayedSteps) +
                       " steps in all, repeats unrolled");
        }
    }

    // Each operand is within its cap, so neither product overflows 64 bits.
    static void measure(Step &st, const Node &value)
    {
        if (const auto *a = std::get_if<step::Advance>(&st.action)) {
            st.ms = a->ms;
            return;
        }
        if (const auto *r = std::get_if<step::Repeat>(&st.action)) {
            const Total pass = totalOf(r->steps, value);
            st.ms = r->times * r->every.value_or(pass.ms);
            st.played = 1 + r->times * pass.played;
            checkTotal(st.ms, st.played, value);
        }
    }

    StepAction simpleStep(const Node &node, const std::string &op)
    {
        if (op == "start") {
            return step::Start{};
        }
        if (op == "stop") {
            return step::Stop{};
        }
        if (op == "dump") {
            return dumpAll();
        }
        if (op == "clearNeighbours") {
            return step::ClearNeighbours{};
        }
        if (op == "clearTokens") {
            return step::ClearTokens{};
        }
        node.fail("unknown step \"" + op + "\"");
    }

    step::Dump dumpAll() const
    {
        step::Dump d;
        for (u32 r = 0; r < sc_.profile.radios; ++r) {
            d.radios.push_back(r);
        }
        d.comeasLists.assign(lists_.begin(), lists_.end());
        return d;
    }

    StepAction keyedStep(const Node &key, const Node &value)
    {
        using ReadFn = StepAction (Reader::*)(const Node &);
        static constexpr std::pair<std::string_view, ReadFn> kReaders[] = {
            {"send", &Reader::readMessage<step::Send>},
            {"rpc", &Reader::readMessage<step::Rpc>},
            {"advance", &Reader::readAdvance},
            {"config", &Reader::readConfig},
            {"staLeave", &Reader::readStaLeave},
            {"note", &Reader::readNote},
            {"addStation", &Reader::readAddStation},
            {"removeStation", &Reader::readRemoveStation},
            {"addNeighbour", &Reader::readAddNeighbour},
            {"addToken", &Reader::readAddToken},
            {"fault", &Reader::readFaultStep},
            {"dump", &Reader::readDump},
            {"expect", &Reader::readExpect},
            {"repeat", &Reader::readRepeat},
        };
        const std::string op = key.scalar();
        for (const auto &[name, read] : kReaders) {
            if (name == op) {
                return (this->*read)(value);
            }
        }
        if (op == "start" || op == "stop" || op == "clearNeighbours" || op == "clearTokens") {
            key.fail("step \"" + op + "\" takes no value: write it as - " + op);
        }
        key.fail("unknown step \"" + op + "\"");
    }

    // A send or an rpc: a message id and its body.
    template <class Message>
    StepAction readMessage(const Node &value)
    {
        const Fields f(value);
        const u32 id = f.integer<u32>("id");
        return Message{id, readBody(f, id)};
    }

    StepAction readAdvance(const Node &value)
    {
        return step::Advance{value.integerIn<u64>(0, kMaxVirtualMs)};
    }

    StepAction readConfig(const Node &value)
    {
        const Fields f(value);
        step::Config c;
        c.radio = f.integer<u32>("radio", 0);
        if (const auto h = f.get("hex")) {
            c.value = boundedHex(*h);
        } else {
            c.value = {f.integer<u8>("scanSwitch", 1)};
        }
        c.raw = f.given("raw", [this](const Node &n) { return boundedHex(n); });
        f.finish();
        countBodyBytes(value, c.value.size() + (c.raw ? c.raw->size() : 0));
        return c;
    }

    StepAction readStaLeave(const Node &value)
    {
        step::StaLeave leave;
        if (value.isMap()) {
            const Fields f(value);
            const Node sta = f.at("sta");
            if (!sta.isNull()) {
                leave.sta = sta.mac();
            }
            leave.keep = f.boolean("keep", false);
            f.finish();
        } else if (!value.isNull()) {
            leave.sta = value.mac();
        }
        if (leave.sta && !leave.keep) {
            known_.erase(*leave.sta);
        }
        return leave;
    }

    StepAction readNote(const Node &value) { return step::Note{value.scalar()}; }

    StepAction readAddStation(const Node &value)
    {
        countStations(value, 1);
        const Fields f(value);
        step::AddStation a{readStation(f)};
        f.finish();
        known_[a.sta.facts.mac] = a.sta.facts;
        return a;
    }

    StepAction readRemoveStation(const Node &value)
    {
        const Mac mac = value.mac();
        known_.erase(mac);
        return step::RemoveStation{mac};
    }

    StepAction readAddNeighbour(const Node &value) { return step::AddNeighbour{readNeighbour(value)}; }

    StepAction readAddToken(const Node &value) { return step::AddToken{readToken(value)}; }

    StepAction readFaultStep(const Node &value) { return step::Fault{readFault(value)}; }

    StepAction readDump(const Node &value)
    {
        const Fields f(value);
        step::Dump d;
        for (const Node &r : f.list("radios")) {
            d.radios.push_back(r.integer<u32>());
        }
        for (const Node &l : f.list("lists")) {
            const Fields lf(l);
            d.comeasLists.emplace_back(lf.integer<u32>("radio"), lf.integer<u32>("channel"));
            lf.finish();
        }
        f.finish();
        return d;
    }

    StepAction readExpect(const Node &value) { return step::Check{parseExpect(value)}; }

    StepAction readRepeat(const Node &value)
    {
        const Fields f(value);
        step::Repeat r;
        r.times = f.at("times").integerIn<u64>(1, kMaxPasses);
        r.every =
            f.given("every", [](const Node &n) { return n.integerIn<u64>(1, kMaxVirtualMs); });
        const Node steps = f.at("steps");
        if (!steps.isSequence()) {
            steps.fail("steps of a repeat is a list of steps");
        }
        if (++repeatDepth_ > kMaxRepeatDepth) {
            steps.fail("repeats nest at most " + std::to_string(kMaxRepeatDepth) + " deep");
        }
        for (const Node &n : steps.items()) {
            r.steps.push_back(readStep(n));
        }
        --repeatDepth_;
        f.finish();
        const Total pass = totalOf(r.steps, steps);
        if (r.every && pass.ms > *r.every) {
            f.at("every").fail("one pass moves the clock " + std::to_string(pass.ms) +
                               " ms, more than every (" + std::to_string(*r.every) + " ms)");
        }
        return r;
    }

    std::vector<u8> boundedHex(const Node &node) const
    {
        std::vector<u8> bytes = node.hex();
        if (bytes.size() > kMaxBodyBytes) {
            node.fail("more than " + std::to_string(kMaxBodyBytes) + " bytes");
        }
        return bytes;
    }

    // An alias repeats a body without repeating its text: the bytes are
    // counted as they are made.
    void countBodyBytes(const Node &where, std::size_t n)
    {
        bodyBytes_ += n;
        if (bodyBytes_ > kMaxBodyBytesInAll) {
            where.fail("the steps' bodies pass " + std::to_string(kMaxBodyBytesInAll >> 20) +
                       " MiB in all");
        }
    }

    std::shared_ptr<const std::string> file_;
    Scenario sc_;
    std::map<Mac, host::StationFacts> known_;
    std::set<std::pair<u32, u32>> lists_;
    int repeatDepth_ = 0;
    u64 stationsRead_ = 0;
    u64 bodyBytes_ = 0;
};

YAML::Node parseYaml(const std::string &text, const std::string &name)
{
    try {
        return YAML::Load(text);
    } catch (const YAML::Exception &e) {
        throw ScenarioError(name, e.mark.is_null() ? 0 : e.mark.line + 1, e.msg);
    }
}

}  // namespace

Scenario readScenarioText(const std::string &text, const std::string &name)
{
    checkFlowDepth(text, name);
    const YAML::Node root = parseYaml(text, name);
    checkExpandedSize(root, name);
    if (!root || !root.IsMap()) {
        throw ScenarioError(name, root ? root.Mark().line + 1 : 0,
                            "a scenario is a map with at least the key \"steps\"");
    }
    return Reader(name).read(root);
}

Scenario readScenarioFile(const std::string &path)
{
    const std::string name = path == "-" ? "(standard input)" : path;
    std::string text;
    try {
        record::InputStream in(path);
        text = readBoundedText(in, name);
    } catch (const record::FileError &e) {
        throw ScenarioError(name, 0, e.reason());
    }
    return readScenarioText(text, name);
}

Scenario readScenarioStream(std::istream &in, const std::string &name)
{
    return readScenarioText(readBoundedText(in, name), name);
}

}  // namespace zep::sim
