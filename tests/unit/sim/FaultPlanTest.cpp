#include "sim/FaultPlan.h"

#include <gtest/gtest.h>

namespace {

struct Parse {
    const char* text;
    ReplyPoint hit;          // a point the fault must apply to
    ReplyPoint miss;         // one it must not
    FaultAction action;
    int delayMs;
};

class FaultPlanParseTest : public ::testing::TestWithParam<Parse> {};

TEST_P(FaultPlanParseTest, AppliesWhereItSays)
{
    const Parse& p = GetParam();
    CFaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.Add(p.text, error)) << error;
    const auto hit = plan.FaultAt(p.hit);
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->action, p.action);
    EXPECT_EQ(hit->delayMs, p.delayMs);
    EXPECT_FALSE(plan.FaultAt(p.miss).has_value());
}

const ReplyPoint kSync{ReplyStep::Sync};
ReplyPoint Record(int section, int index) { return {ReplyStep::Record, section, index}; }

INSTANTIATE_TEST_SUITE_P(
    Texts, FaultPlanParseTest,
    ::testing::Values(Parse{"sync:wrong", kSync, {ReplyStep::Ident}, FaultAction::Wrong, 0},
                      Parse{"ident:short", {ReplyStep::Ident}, kSync, FaultAction::Short, 0},
                      Parse{"header-size:drop", {ReplyStep::HeaderSize}, {ReplyStep::Header}, FaultAction::Drop, 0},
                      Parse{"header:delay:1500", {ReplyStep::Header}, {ReplyStep::HeaderSize}, FaultAction::Delay, 1500},
                      Parse{"start:silent", Record(2, 0), Record(1, 1), FaultAction::Silent, 0},
                      Parse{"ack:nak", Record(1, 65), kSync, FaultAction::Nak, 0},
                      Parse{"record:129:nak", Record(1, 129), Record(2, 129), FaultAction::Nak, 0},
                      Parse{"s2:record:0:wrong", Record(2, 0), Record(1, 0), FaultAction::Wrong, 0}));

class FaultPlanRejectTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(FaultPlanRejectTest, SaysWhatIsWrong)
{
    CFaultPlan plan;
    std::string error;
    EXPECT_FALSE(plan.Add(GetParam().first, error));
    EXPECT_NE(error.find(GetParam().second), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FaultPlanRejectTest,
    ::testing::Values(std::make_pair("", "unknown step"), std::make_pair("sync", "missing action"),
                      std::make_pair("sync:explode", "unknown action"),
                      std::make_pair("record:x:nak", "record needs an index"),
                      std::make_pair("record:-1:nak", "record needs an index"),
                      std::make_pair("s3:record:1:nak", "S 1 or 2"),
                      std::make_pair("header:delay", "delay needs milliseconds"),
                      std::make_pair("header:delay:5:6", "unexpected text"),
                      std::make_pair("sync:short", "only for ident")));

} // namespace
