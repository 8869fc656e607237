// Shared fixture of the application tests: a fresh emulated framework per test,
// the application linked in, and builders for the message bodies it receives.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
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

    // Texts of the captured log lines, in order.
    std::vector<std::string> logTexts() const
    {
        std::vector<std::string> out;
        for (const auto &line : host_.logs()) {
            out.push_back(line.text);
        }
        return out;
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

    host::Host host_;
    bool started_ = false;
};

}  // namespace zep::test
