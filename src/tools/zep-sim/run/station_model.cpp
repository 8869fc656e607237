#include "run/station_model.hpp"

#include <cstring>

#include "wire/codec_util.hpp"

namespace zep::sim {

namespace {

template <class Report>
std::size_t putReport(StationModel::Answer &a, const StaMeasReq &req, const std::vector<u8> &values)
{
    Report r{};
    r.radioId = req.radioId;
    r.vapId = req.vapId;
    std::memcpy(r.staMac, req.staMac, sizeof(r.staMac));
    r.tokenId = req.tokenId;
    std::memcpy(r.values, values.data(), sizeof(r.values));
    std::memcpy(a.bytes.data(), &r, sizeof(r));
    return sizeof(r);
}

}  // namespace

double StationModel::draw()
{
    // 53 random bits as a fraction: unlike the standard distributions, the
    // same on every standard library.
    return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

std::optional<u64> StationModel::request(u64 nowMs, u32 msgId, std::span<const u8> request)
{
    const bool lm = msgId == STAMEAS_MSG_LM_REQ;
    if (!lm && msgId != STAMEAS_MSG_TPC_REQ) {
        return std::nullopt;
    }
    const auto req = codec::readRecord<StaMeasReq>(request);
    if (!req) {
        return std::nullopt;
    }
    const auto it = stations_.find(codec::macOf(req->staMac));
    if (it == stations_.end() || !it->second.reply) {
        return std::nullopt;
    }
    const StationEntry &sta = it->second;
    if (!(lm ? sta.facts.linkMeas : sta.facts.tpc)) {
        return std::nullopt;
    }
    if (draw() >= sta.reply->rate) {
        return std::nullopt;
    }
    Answer a;
    a.dueMs = nowMs + sta.reply->delayMs;
    a.sta = sta.facts.mac;
    if (lm) {
        a.reportId = STAMEAS_MSG_LM_REPORT;
        a.len = putReport<LmReportMsg>(a, *req, sta.reply->lmValues);
    } else {
        a.reportId = STAMEAS_MSG_TPC_REPORT;
        a.len = putReport<TpcReportMsg>(a, *req, sta.reply->tpcValues);
    }
    due_[a.dueMs].push_back(a);
    if (std::find(wakes_.begin(), wakes_.end(), a.dueMs) != wakes_.end()) {
        return std::nullopt;
    }
    wakes_.push_back(a.dueMs);
    return a.dueMs;
}

std::optional<StationModel::Answer> StationModel::takeDue(u64 nowMs)
{
    const auto first = due_.begin();
    if (first == due_.end() || first->first > nowMs) {
        return std::nullopt;
    }
    Answer a = first->second.front();
    first->second.pop_front();
    if (first->second.empty()) {
        due_.erase(first);
    }
    return a;
}

}  // namespace zep::sim
