#include "sim/SimArguments.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {

// What --tcp serves: the instruments in order, or the reason it refuses.
struct EndpointCase {
    const char* text;
    std::vector<std::string> served;  // "host:port" per instrument; empty: refused
    const char* reason;               // part of the refusal
};

class TcpEndpointTest : public ::testing::TestWithParam<EndpointCase> {};

TEST_P(TcpEndpointTest, ServesTheRangeOrSaysWhyNot)
{
    const EndpointCase& c = GetParam();
    std::vector<TcpEndpoint> endpoints;
    std::string error;
    const bool parsed = ParseTcpEndpoints(c.text, endpoints, error);
    std::vector<std::string> served;
    for (const TcpEndpoint& e : endpoints)
        served.push_back(e.host + ":" + std::to_string(e.port));
    EXPECT_EQ(parsed, !c.served.empty()) << error;
    EXPECT_EQ(served, c.served);
    if (!parsed) {
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpEndpointTest,
    ::testing::Values(
        EndpointCase{"127.0.0.1:8023", {"127.0.0.1:8023"}, ""},
        EndpointCase{"127.0.0.1:0", {"127.0.0.1:0"}, ""},
        // The last octet rolls over into the third, as addresses on a subnet do.
        EndpointCase{"127.0.0.254-127.0.1.1:8023",
                     {"127.0.0.254:8023", "127.0.0.255:8023", "127.0.1.0:8023", "127.0.1.1:8023"}, ""},
        EndpointCase{"127.0.0.1-127.0.0.2:9000-9001",
                     {"127.0.0.1:9000", "127.0.0.1:9001", "127.0.0.2:9000", "127.0.0.2:9001"}, ""},
        EndpointCase{"127.0.0.5-127.0.0.5:65535", {"127.0.0.5:65535"}, ""},
        // Nothing off this machine, not even the wildcard address.
        EndpointCase{"0.0.0.0:8023", {}, "only loopback"},
        EndpointCase{"10.1.2.3:8023", {}, "only loopback"},
        EndpointCase{"126.255.255.255-127.0.0.1:8023", {}, "only loopback"},
        EndpointCase{"127.0.0.1-128.0.0.1:8023", {}, "only loopback"},
        EndpointCase{"127.0.0.3-127.0.0.1:8023", {}, "--tcp wants"},
        EndpointCase{"127.0.0.1:8024-8023", {}, "--tcp wants"},
        EndpointCase{"127.0.0.1:0-4", {}, "starts at 1"},
        EndpointCase{"127.0.0.0-127.0.1.255:8023", {}, "512 instruments"},
        EndpointCase{"127.0.0.1", {}, "--tcp wants"},
        EndpointCase{"127.0.0.1:65536", {}, "--tcp wants"},
        EndpointCase{"127.0.0.1:80x", {}, "--tcp wants"},
        EndpointCase{"localhost:8023", {}, "--tcp wants"},
        EndpointCase{"127.0.0.1-:8023", {}, "--tcp wants"}));

// Which fault each instrument meets at the header, from the --fault texts as given.
struct FaultCase {
    const char* name;
    std::vector<std::string> texts;
    int instruments;
    std::vector<std::optional<FaultAction>> atHeader;  // per instrument; empty: refused
    const char* reason;
};

class FaultPlansTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultPlansTest, EachInstrumentKeepsItsOwnFaults)
{
    const FaultCase& c = GetParam();
    std::vector<CFaultPlan> plans;
    std::string error;
    const bool parsed = ParseFaultPlans(c.texts, c.instruments, 5, plans, error);
    ASSERT_EQ(parsed, !c.atHeader.empty()) << error;
    if (!parsed) {
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        return;
    }
    ASSERT_EQ(plans.size(), c.atHeader.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const auto fault = plans[i].FaultAt({ReplyStep::Header});
        EXPECT_EQ(fault ? std::optional(fault->action) : std::nullopt, c.atHeader[i]) << "instrument " << i;
        EXPECT_EQ(plans[i].AckDelayMs(), 5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaultPlansTest,
    ::testing::Values(
        FaultCase{"UnprefixedIsForEveryone", {"header:wrong"}, 3,
                  {FaultAction::Wrong, FaultAction::Wrong, FaultAction::Wrong}, ""},
        FaultCase{"PrefixedIsForOne", {"2:header:drop", "s1:record:65:nak"}, 3,
                  {std::nullopt, std::nullopt, FaultAction::Drop}, ""},
        // The first fault matching a point applies, prefixed or not.
        FaultCase{"FirstMatchWins", {"1:header:silent", "header:wrong", "0:header:drop"}, 2,
                  {FaultAction::Wrong, FaultAction::Silent}, ""},
        FaultCase{"NoSuchInstrument", {"3:header:wrong"}, 3, {}, "no instrument 3"},
        FaultCase{"IndexNotANumber", {"1x:header:wrong"}, 3, {}, "instrument index"},
        FaultCase{"IndexWithoutFault", {"1:"}, 3, {}, "unknown step"},
        FaultCase{"BadFaultAfterIndex", {"0:header:explode"}, 1, {}, "unknown action"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
