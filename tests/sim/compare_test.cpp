// zep-sim compare: what counts as the same behaviour, how the first difference
// is named, and whole comparisons of two builds over the scenarios.
#include <gtest/gtest.h>

#include <sstream>

#include "compare/compare.hpp"
#include "sim_test.hpp"

namespace zep::sim::compare {
namespace {

Json logLine(const std::string &text)
{
    return Json{{"ev", "log"}, {"t", 5}, {"text", text}};
}

TEST(Compare, WallClockCostsAreNotBehaviour)
{
    EXPECT_EQ(comparable(logLine("Proc cost min/avg/max = 0/3/12 ms.\r\n")),
              comparable(logLine("Proc cost min/avg/max = 1/1/1 ms.\r\n")));
    EXPECT_NE(comparable(logLine("Proc cost min/avg/max = 0/3/12 ms, radio 1.\r\n")),
              comparable(logLine("Proc cost min/avg/max = 0/3/12 ms, radio 2.\r\n")));
    EXPECT_NE(comparable(logLine("weight = 20")), comparable(logLine("weight = 30")));

    Json in{{"ev", "in"}, {"t", 5}, {"id", 186}, {"ns", 1234}};
    EXPECT_EQ(comparable(in), (Json{{"ev", "in"}, {"t", 5}, {"id", 186}}));
}

TEST(Compare, FirstDifferenceIsNamedByItsPath)
{
    const Json a = Json::parse(R"({"ev":"rpc","fields":{"entries":[{"w":160},{"w":100}]}})");
    Json b = a;
    b["fields"]["entries"][1]["w"] = 120;
    auto d = firstDifference(a, b);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->path, "fields.entries[1].w");
    EXPECT_EQ(d->a, "100");
    EXPECT_EQ(d->b, "120");

    b = a;
    b["status"] = 7;
    d = firstDifference(a, b);
    EXPECT_EQ(d->path + " " + d->a + " " + d->b, "status absent 7");

    // A long text is shown around the character where the two part.
    d = firstDifference(logLine(std::string(100, 'x') + "weight:20 end"),
                        logLine(std::string(100, 'x') + "weight:30 end"));
    const std::string before(17, 'x');
    EXPECT_EQ(d->path + " " + d->a + " " + d->b, "text \"..." + before + "weight:20 end\" \"..." +
                                                     before + "weight:30 end\"");

    EXPECT_FALSE(firstDifference(a, a));
}

std::string marker(std::size_t step, int line, const std::string &op)
{
    return stepMarker(step, line, op).dump() + "\n";
}

std::string ev(int t, int id)
{
    return Json{{"ev", "out"}, {"t", t}, {"id", id}}.dump() + "\n";
}

TEST(Compare, ReportsTheFirstDifferenceWithItsStepAndContext)
{
    std::istringstream a(marker(0, 3, "start") + ev(0, 1) + ev(0, 2) + marker(1, 9, "advance") +
                         ev(1000, 3) + ev(1500, 4) + ev(2000, 5));
    std::istringstream b(marker(0, 3, "start") + ev(0, 1) + ev(0, 2) + marker(1, 9, "advance") +
                         ev(1000, 3) + ev(1500, 44));
    std::ostringstream out;
    EXPECT_EQ(compareTraces(a, b, "s.yaml", {"liba.so", "libb.so"}, out), kDiffers);
    EXPECT_EQ(out.str(), "s.yaml: differs at event 4 (t 1.500 s): id is 4 in A, 44 in B\n"
                         "  led to by step 2 `advance` (line 9)\n"
                         "  A = liba.so\n"
                         "  B = libb.so\n"
                         "         1  {\"ev\":\"out\",\"t\":0,\"id\":1}\n"
                         "         2  {\"ev\":\"out\",\"t\":0,\"id\":2}\n"
                         "         3  {\"ev\":\"out\",\"t\":1000,\"id\":3}\n"
                         "  A      4  {\"ev\":\"out\",\"t\":1500,\"id\":4}\n"
                         "  A      5  {\"ev\":\"out\",\"t\":2000,\"id\":5}\n"
                         "  B      4  {\"ev\":\"out\",\"t\":1500,\"id\":44}\n");
}

TEST(Compare, TracesOfUnequalLengthOrNotJson)
{
    std::istringstream a(ev(0, 1) + ev(0, 2));
    std::istringstream b(ev(0, 1));
    std::ostringstream out;
    EXPECT_EQ(compareTraces(a, b, "t", {"a", "b"}, out), kDiffers);
    EXPECT_NE(out.str().find("t: differs at event 2: B ends there\n"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("  B  (ends after 1 events)\n"), std::string::npos) << out.str();

    std::istringstream same1(ev(0, 1) + marker(0, 1, "x"));
    std::istringstream same2(ev(0, 1));
    out.str("");
    EXPECT_EQ(compareTraces(same1, same2, "t", {"a", "b"}, out), kSame);
    EXPECT_EQ(out.str(), "t: same (1 events)\n");

    std::istringstream broken(ev(0, 1) + "{\"ev\":\n");
    std::istringstream whole(ev(0, 1) + ev(0, 2));
    out.str("");
    EXPECT_EQ(compareTraces(broken, whole, "t", {"a", "b"}, out), kUnreadable);
    EXPECT_EQ(out.str(), "t: line 2 of A is not a trace object\n");
}

Ran compareBuilds(const std::string &libB, const std::string &scenarios)
{
    return shellOutput(std::string(ZEP_SIM_TEST_PROGRAM) + " compare --lib " + ZEP_SIM_TEST_LIB + " --lib " + libB +
                       " " + scenarios + " 2>&1");
}

TEST(CompareBuilds, AChangedHostWeightIsCaughtAtItsFirstEffect)
{
    const std::string scenario = ZEP_SIM_SCENARIO_DIR "/station_measurement.yaml";
    const Ran run = compareBuilds(ZEP_SIM_TEST_HOST1_WEIGHT_LIB, scenario);
    EXPECT_EQ(run.status, kDiffers) << run.out;
    EXPECT_NE(run.out.find(scenario + ": differs at event 56 (t 3.100 s): text is "
                                      "\"...0 hostBitmap:0x2 weight:20.\\r\\n\" in A, "
                                      "\"...0 hostBitmap:0x2 weight:30.\\r\\n\" in B\n"
                                      "  led to by step 10 `send` (line 50)\n"),
              std::string::npos)
        << run.out;
}

TEST(CompareBuilds, AMissingLibraryOrScenarioIsUnreadable)
{
    EXPECT_EQ(compareBuilds("/nowhere/lib.so", ZEP_SIM_SCENARIO_DIR "/demo.yaml").status,
              kUnreadable);
    EXPECT_EQ(compareBuilds(ZEP_SIM_TEST_LIB, "/nowhere/s.yaml").status, kUnreadable);
}

}  // namespace
}  // namespace zep::sim::compare
