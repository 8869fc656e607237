#include "out/report_collector.hpp"

#include <algorithm>

#include "wire/msg_catalog.hpp"

namespace zep::sim {

void ReportCollector::attach(RunFigures &figures, StateProbe &probe, const host::Faults &faults)
{
    figures_ = &figures;
    figures.keepIntervals(startMs_, &probe);
    faults_ = &faults;
    injectedSeen_ = faults.injectedFailures();
}

void ReportCollector::onEvent(const Event &ev)
{
    ++events_;
    lastMs_ = std::max(lastMs_, ev.t);
    markOf(ev);
    figures_->sample(ev);
}

void ReportCollector::mark(Mark::Kind kind, u64 t, std::string text)
{
    if (marks_.size() >= kMaxMarks) {
        ++marksLeftOut_;
        return;
    }
    marks_.push_back({kind, t, std::move(text)});
}

void ReportCollector::markOf(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::OutFail:
    case EventKind::IpcFail:
        mark(Mark::Kind::FailedSend, ev.t,
             "send of " + msgLabel(ev.id) + " failed, status " + std::to_string(*ev.status) +
                 " (in " + msgLabel(ev.context) + ")");
        break;
    case EventKind::Log:
        if (ev.severity >= 2) {
            const std::size_t end = ev.text.find_last_not_of("\r\n") + 1;  // 0 when all line ends
            mark(Mark::Kind::ErrorLog, ev.t, ev.text.substr(0, end));
        }
        break;
    case EventKind::Expect: {
        const bool ok = ev.json->value("ok", false);
        std::string text = "expect at line " + std::to_string(ev.json->value("line", 0)) +
                           (ok ? " held" : " failed");
        for (const auto &failure : ev.json->value("failures", Json::array())) {
            text += "; " + failure.get<std::string>();
        }
        mark(ok ? Mark::Kind::ExpectHeld : Mark::Kind::ExpectFailed, ev.t, std::move(text));
        break;
    }
    default:
        break;
    }
    if (faults_ != nullptr && handlerReturned(ev.kind) &&
        faults_->injectedFailures() > injectedSeen_) {
        const u64 fired = faults_->injectedFailures() - injectedSeen_;
        injectedSeen_ = faults_->injectedFailures();
        const std::optional<u32> key = handlerKey(ev);
        const std::string where = key ? handlerName(*key) : std::string();
        mark(Mark::Kind::FaultFired, ev.t,
             std::to_string(fired) + " injected failure(s)" +
                 (where.empty() ? "" : " while " + where + " ran"));
    }
}

}  // namespace zep::sim
