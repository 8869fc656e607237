// Shared fixture of the application tests: a fresh emulated framework per test,
// the application linked in, and builders for the message bodies it receives.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "linked_app.hpp"
#include "sta_meas_inner.h"
#include "table_check.hpp"
#include "zep_host.hpp"

namespace zep::test {

using host::Mac;

// A message made of a fixed header followed by records.
template <class Head, class Entries>
std::vector<u8> messageOf(const Head &head, const Entries &entries)
{
    std::vector<u8> out = bytesOf(head);
    for (const auto &e : entries) {
        const std::vector<u8> b = bytesOf(e);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

// A copy of body with one byte changed and, when size is given, cut to size.
inline std::vector<u8> patched(std::vector<u8> body, std::size_t at, u8 value, std::size_t size = 0)
{
    body.at(at) = value;
    body.resize(size == 0 ? body.size() : size);
    return body;
}

inline Mac macOf(u8 last) { return Mac{0x00, 0x11, 0x22, 0x33, 0x44, last}; }

// A key, or an entry of a message, of the station and the id; the rest zero.
template <class Keyed>
Keyed keyOf(const Mac &mac, u32 measId)
{
    Keyed keyed{};
    std::memcpy(keyed.staMac, mac.data(), mac.size());
    keyed.measId = measId;
    return keyed;
}

// A stop for this MAC ends every station's measurement of its sender.
inline const Mac kAllStations{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

class AppTest : public ::testing::Test {
protected:
    explicit AppTest(host::Profile profile = {}) : host_(profile) {}

    void SetUp() override
    {
        resetAppGlobals();
        host_.useLinkedApp(ZEP_STA_RegStaMeasApp);
    }

    void TearDown() override
    {
        EXPECT_EQ(untaggedStationLines(), "");
        if (started_) {
            EXPECT_EQ(describe(tableViolations(host_, AppStage::Running)), "");
            EXPECT_EQ(describe(deinitViolations(host_)), "");
        }
    }

    // Registration, phase 0 and phase 1; captures cleared afterwards.
    u32 startApp()
    {
        started_ = true;
        const u32 status = host_.start();
        host_.clearCaptures();
        return status;
    }

    std::optional<u32> deliver(u32 msgId, const std::vector<u8> &body)
    {
        return host_.deliver(msgId, body);
    }

    // A case of a table starts with nothing captured and, when fault names a
    // framework call, that call's next use refused.
    void freshCase(const char *fault = nullptr)
    {
        host_.clearCaptures();
        host_.faults().clear();
        if (fault != nullptr) {
            host_.faults().failCall(fault, 1);
        }
    }

    // The captured lines are line alone, an error, or none when line is "".
    void expectOnlyError(const std::string &line) const
    {
        EXPECT_EQ(linesWithoutSourceLine(),
                  line.empty() ? std::vector<std::string>{} : std::vector<std::string>{line});
        if (!line.empty() && !host_.logs().empty()) {
            EXPECT_EQ(host_.logs()[0].severity, ZEP_DBG_ERROR);
        }
    }

    // A line's text after its "function[line]: " or station prefix.
    static std::string bodyOf(const std::string &text)
    {
        const std::size_t at = text.find("]: ");
        return at == std::string::npos ? text : text.substr(at + 3);
    }

    // Bodies (see bodyOf) of the captured lines of one log category, in order.
    std::vector<std::string> logBodies(u32 category) const
    {
        std::vector<std::string> out;
        for (const auto &line : host_.logs()) {
            if (line.category == category) {
                out.push_back(bodyOf(line.text));
            }
        }
        return out;
    }

    // Every captured line with its source line number left out ("fn[]: ..."):
    // what a refusal says and which operation says it, not where it sits.
    std::vector<std::string> linesWithoutSourceLine() const
    {
        static const std::regex kSourceLine("\\[[0-9]+\\]");
        std::vector<std::string> out;
        for (const auto &line : host_.logs()) {
            out.push_back(std::regex_replace(line.text, kSourceLine, "[]",
                                             std::regex_constants::format_first_only));
        }
        return out;
    }

    // The logger filters by the station argument, so a line about one station
    // passes the MAC that its text names, and no other line passes one.
    std::string untaggedStationLines() const
    {
        static constexpr std::string_view kTag = "[STA_MEAS][";
        std::string out;
        for (const auto &line : host_.logs()) {
            const std::size_t at = line.text.find(kTag);
            const std::string named =
                at == std::string::npos ? "" : line.text.substr(at + kTag.size(), 14);
            std::string passed;
            if (line.sta.has_value()) {
                const Mac &m = *line.sta;
                char text[15];
                std::snprintf(text, sizeof(text), "%02x%02x-%02x%02x-%02x%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
                passed = text;
            }
            if (named != passed) {
                out += "station [" + passed + "] passed with: " + line.text;
            }
        }
        return out;
    }

    host::Host host_;
    bool started_ = false;
};

}  // namespace zep::test
