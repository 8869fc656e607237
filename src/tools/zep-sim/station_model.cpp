#include "station_model.hpp"

#include "codec_util.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

double StationModel::draw()
{
    // 53 random bits as a fraction: unlike the standard distributions, the
    // same on every standard library.
    return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

std::optional<StationModel::Answer> StationModel::answer(u32 msgId, std::span<const u8> request)
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
    a.sta = sta.facts.mac;
    a.delayMs = sta.reply->delayMs;
    if (lm) {
        LmReportMsg r{};
        r.radioId = req->radioId;
        r.vapId = req->vapId;
        std::memcpy(r.staMac, req->staMac, sizeof(r.staMac));
        r.tokenId = req->tokenId;
        std::memcpy(r.values, sta.reply->lmValues.data(), sizeof(r.values));
        a.reportId = STAMEAS_MSG_LM_REPORT;
        codec::appendRecord(a.body, r);
    } else {
        TpcReportMsg r{};
        r.radioId = req->radioId;
        r.vapId = req->vapId;
        std::memcpy(r.staMac, req->staMac, sizeof(r.staMac));
        r.tokenId = req->tokenId;
        std::memcpy(r.values, sta.reply->tpcValues.data(), sizeof(r.values));
        a.reportId = STAMEAS_MSG_TPC_REPORT;
        codec::appendRecord(a.body, r);
    }
    return a;
}

}  // namespace zep::sim
