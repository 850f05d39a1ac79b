#include "HostScript.h"

#include "sim/WireSession.h"

#include <gtest/gtest.h>

#include <memory>

using namespace zorflash;

using namespace simtest;

namespace {

class WireSessionTest : public ::testing::Test {
protected:
    CWireSession& Session()
    {
        if (!m_session)
            m_session = std::make_unique<CWireSession>(m_plan);
        return *m_session;
    }

    void AddFault(const char* text)
    {
        std::string error;
        ASSERT_TRUE(m_plan.Add(text, error)) << error;
    }

    // Plays the steps, each fed in pieces of `chunk` bytes (0: whole), carrying out every
    // reply; stops at the first step whose reply differs and returns its label.
    std::string Play(const std::vector<Step>& steps, std::size_t chunk = 0)
    {
        for (const Step& step : steps) {
            const std::size_t piece = chunk ? chunk : step.send.size();
            for (std::size_t at = 0; at < step.send.size(); at += piece) {
                const std::size_t size = std::min(piece, step.send.size() - at);
                EXPECT_EQ(Session().Feed(step.send.data() + at, size), size);
                const Bytes image = Session().TakeImageBytes();
                m_image.insert(m_image.end(), image.begin(), image.end());
            }
            m_lastReply = Session().PendingReply();
            if (m_lastReply && !m_lastReply->drop)
                Session().ReplyDone();
            if (m_lastReply.has_value() != step.reply.has_value()
                || (m_lastReply && (m_lastReply->drop || m_lastReply->bytes != *step.reply)))
                return step.label;
        }
        return {};
    }

    CFaultPlan m_plan;
    std::unique_ptr<CWireSession> m_session;
    Bytes m_image;
    std::optional<SimReply> m_lastReply;
};

// Whole exchanges: a good update acknowledged after START, record 1 and every 64 further,
// and each host error named in the report with where it happened.
enum class HostEnd { Closes, FallsSilent };

struct ExchangeCase {
    const char* name;
    std::vector<Step> steps;   // played until the first unexpected reply
    const char* report;        // expected within the summary line
    const char* lastReply;     // the instrument's last reply, if it refused
    const char* fault = nullptr;
    HostEnd end = HostEnd::Closes;
    std::size_t chunk = 0;     // TCP keeps no write boundaries: the verdict may not depend on them
};

class ExchangeTest : public WireSessionTest, public ::testing::WithParamInterface<ExchangeCase> {};

const std::vector<ExchangeCase> kExchanges = {
    {"GoodMain", GoodUpdate(kMainLine, {67}), "kind=MAIN sections=1 records=67 bytes=347 acks=3 ", nullptr},
    // The second section is END alone; acks at START, 1, 65 and 129.
    {"GoodSubByteByByte", GoodUpdate(kSubLine, {130, 0}), "kind=SUB sections=2 records=130 bytes=600 acks=4 ",
     nullptr, nullptr, HostEnd::Closes, 1},
    {"GoodSubIn3s", GoodUpdate(kSubLine, {130, 0}), "kind=SUB sections=2 records=130 bytes=600 acks=4 ", nullptr,
     nullptr, HostEnd::Closes, 3},
    {"GoodSubIn7s", GoodUpdate(kSubLine, {130, 0}), "kind=SUB sections=2 records=130 bytes=600 acks=4 ", nullptr,
     nullptr, HostEnd::Closes, 7},
    {"BadChecksum", With(Handshake(), {{"s1r0", Records(0, 1), "Y"}, {"s1r1", {0x01, 0x05, 0x80, 0x84}, "Y"}}),
     "ERROR: bad checksum in section 1 record 1 (image offset 60): got 0x84, the data sum to 0x85", "N"},
    {"LengthByteIsNotSummed", With(Handshake(), {{"s1r0", {0x01, 0x12, 0x34, 0x47}, "Y"}}),
     "ERROR: bad checksum in section 1 record 0 (image offset 56)", "N"},
    {"BadChecksumInSecondSection", With(GoodUpdate(kSubLine, {2}), {{"s2r0", {0x02, 1, 2, 3, 4, 0}, "Y"}}),
     "ERROR: bad checksum in section 2 record 0", "N"},
    {"MissingEnd", With(Handshake(), {{"s1r0", Records(0, 1), "Y"}, {"s1r1", Records(1, 2), "Y"},
                                      {"rest", Records(2, 3), std::nullopt}}),
     "ERROR: missing END: link closed by the host in section 1 after record 2 (image offset 68)", nullptr},
    {"MissingEndInsideRecord", With(Handshake(), {{"s1r0", Records(0, 1), "Y"}, {"cut", {0x02, 0x01}, std::nullopt}}),
     "ERROR: missing END: link closed by the host inside section 1 record 1", nullptr},
    {"MissingSecondSection", GoodUpdate(kSubLine, {1}),
     "ERROR: missing END: link closed by the host at the start of section 2", nullptr},
    {"ExtraByteAfterLastEnd", With(GoodUpdate(kMainLine, {2}), {{"extra", {0x00}, std::nullopt}}),
     "ERROR: extra byte 0x00 after the last END (image offset 65)", nullptr},
    {"NoWaitForAcknowledgementAfterRecordOne",
     With(Handshake(), {{"s1r0", Records(0, 1), "Y"}, {"s1r1+2", Records(1, 3), "Y"}}),
     "ERROR: host sent before acknowledgement: byte 0x01 at byte 86 of the exchange (image "
     "offset 64), while the reply to section 1 record 1 was due", nullptr},
    {"NoWaitForSyncReply", {{"all", Text(":UP:EXEC\r\n\x55MORVENAL\r\n"), std::nullopt}},
     "ERROR: host sent before acknowledgement: byte 0x4D at byte 11", nullptr},
    {"UnknownHeaderLine", Handshake("MORVENAL RT72 MAIN ROM        \r\n"),
     "ERROR: unknown header line \"MORVENAL RT72 MAIN ROM        \\x0D\\x0A\"", "N"},
    {"HeaderLineEndingInLfOnly", Handshake("MORVENAL RT71 MAIN ROM         \n"), "ERROR: unknown header line", "N"},
    {"DisplayNameInsteadOfToken", Handshake("MORVENAL NB61 SUB ROM         \r\n"), "ERROR: unknown header line", "N"},
    {"WrongUpdateCommand", {{"command", Text(":UP:EXEC\n"), std::nullopt}},
     "ERROR: expected the update-start command \":UP:EXEC\\r\\n\" but got 0x0A at byte 8", nullptr},
    {"WrongSyncByte", With(Handshake(kMainLine, 1), {{"sync", {0x54}, "\xAA"}}),
     "ERROR: expected the sync byte 0x55 but got 0x54 at byte 10", nullptr},
    {"WrongIdentification", With(Handshake(kMainLine, 2), {{"ident", Text("MORVENAl\r\n"), "MORVENAL\r\n"}}),
     "ERROR: expected the identification command \"MORVENAL\\r\\n\" but got 0x6C at byte 18", nullptr},
    {"WrongHeaderSize", With(Handshake(kMainLine, 3), {{"header-size", {0x37}, "8"}}),
     "ERROR: expected the header-size byte 0x38 but got 0x37 at byte 21", nullptr},
    {"ClosedDuringHandshake", Handshake(kMainLine, 1), "ERROR: link closed by the host during the sync step", nullptr},
    // The host waits after record 64, where no acknowledgement is due.
    {"WaitingAtAWrongPoint",
     With(Handshake(), {{"s1r0", Records(0, 1), "Y"}, {"s1r1", Records(1, 2), "Y"}, {"block", Records(2, 65), std::nullopt}}),
     "ERROR: host went silent for 30000 ms during section 1 after record 64", nullptr, nullptr, HostEnd::FallsSilent},
    {"GoingOnAfterAWrongReply",
     With(Handshake(kMainLine, 1), {{"sync", {0x55}, std::string(1, '\0')}, {"ident", Text("MORVENAL\r\n"), std::nullopt}}),
     "ERROR: host went on after the instrument's wrong reply at sync: byte 0x4D at byte 11 of the exchange", nullptr,
     "sync:wrong"},
    {"NeverGivingUpAfterSilence", Handshake(),
     "ERROR: host kept the link open 30000 ms after the instrument's no reply at header", "", "header:silent",
     HostEnd::FallsSilent},
};

TEST_P(ExchangeTest, IsNamedInTheReport)
{
    const ExchangeCase& c = GetParam();
    if (c.fault)
        AddFault(c.fault);
    Play(c.steps, c.chunk);
    if (c.lastReply) {
        ASSERT_TRUE(m_lastReply.has_value());
        EXPECT_EQ(m_lastReply->bytes, c.lastReply);
    }
    const bool complete = Session().Complete();
    if (c.end == HostEnd::Closes)
        Session().LinkClosedByHost();
    else
        Session().HostSilent(30000);
    const std::string summary = Session().Summary(1);
    EXPECT_NE(summary.find(c.report), std::string::npos) << summary;
    EXPECT_EQ(Session().LinkEnd(), c.end == HostEnd::Closes ? "closed-by-host" : "closed-by-sim");
    if (complete) {
        EXPECT_EQ(Session().Verdict(), "OK");
        Bytes sent;  // the image: everything after the header-size step, as sent
        for (std::size_t i = 4; i < c.steps.size(); ++i)
            sent.insert(sent.end(), c.steps[i].send.begin(), c.steps[i].send.end());
        EXPECT_EQ(m_image, sent);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExchangeTest, ::testing::ValuesIn(kExchanges),
                         [](const auto& info) { return std::string(info.param.name); });

// The fault texts of the command line: a wrong one is refused with the reason.
TEST(FaultPlanTest, WrongTextsAreRefusedWithTheReason)
{
    const std::pair<const char*, const char*> kWrong[] = {
        {"", "unknown step"}, {"sync", "missing action"}, {"sync:explode", "unknown action"},
        {"record:x:nak", "record needs an index"}, {"record:-1:nak", "record needs an index"},
        {"s3:record:1:nak", "S 1 or 2"}, {"header:delay", "delay needs milliseconds"},
        {"header:delay:5:6", "unexpected text"}, {"sync:short", "only for ident"},
        // Only records the host waits after can be answered wrongly.
        {"record:64:nak", "nearest are 1 and 65"}, {"s2:record:1000:drop", "nearest are 961 and 1025"},
    };
    for (const auto& [text, reason] : kWrong) {
        CFaultPlan plan;
        std::string error;
        EXPECT_FALSE(plan.Add(text, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

} // namespace
