#include "HostScript.h"

#include "sim/WireSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace simtest;

namespace {

// One message of the host, and what the instrument should answer after it (nothing when
// the exchange has no reply there).
struct Step {
    std::string label;
    Bytes send;
    std::optional<std::string> reply;
};

std::vector<Step> Handshake(const std::string& line)
{
    return {
        {"command", Text(":UP:EXEC\r\n"), std::nullopt},
        {"sync", {0x55}, std::string("\xAA")},
        {"ident", Text("MORVENAL\r\n"), std::string("MORVENAL\r\n")},
        {"header-size", {0x38}, std::string("8")},
        {"header", Header(line), std::string("Y")},
    };
}

// A section of `records` records (START included) sent as a fast-mode host does: START,
// record 1, then blocks of 64, the rest together with END.
void AddSection(std::vector<Step>& steps, int section, int records)
{
    Bytes block;
    for (int i = 0; i < records; ++i) {
        const Bytes record = SmallRecord(i);
        block.insert(block.end(), record.begin(), record.end());
        if (i == 0 || (i - 1) % 64 == 0) {
            steps.push_back({"s" + std::to_string(section) + "r" + std::to_string(i), block, "Y"});
            block.clear();
        }
    }
    block.push_back(0x00);
    steps.push_back({"s" + std::to_string(section) + "end", block, std::nullopt});
}

std::vector<Step> GoodUpdate(const std::string& line, std::vector<int> sectionRecords)
{
    std::vector<Step> steps = Handshake(line);
    for (std::size_t s = 0; s < sectionRecords.size(); ++s)
        AddSection(steps, static_cast<int>(s + 1), sectionRecords[s]);
    return steps;
}

class WireSessionTest : public ::testing::Test {
protected:
    CWireSession& Session()
    {
        if (!m_session)
            m_session = std::make_unique<CWireSession>(m_plan);
        return *m_session;
    }

    void Send(const Bytes& bytes, std::size_t chunk = 0)
    {
        if (chunk == 0)
            chunk = bytes.size();
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            const std::size_t size = std::min(chunk, bytes.size() - at);
            EXPECT_EQ(Session().Feed(bytes.data() + at, size), size);
            const Bytes image = Session().TakeImageBytes();
            m_image.insert(m_image.end(), image.begin(), image.end());
        }
    }

    // The reply the instrument owes now, carried out; nullopt if it owes none.
    std::optional<SimReply> Answer()
    {
        auto reply = Session().PendingReply();
        if (reply && !reply->drop)
            Session().ReplyDone();
        return reply;
    }

    // Plays the steps, checking every reply; stops early at the first step whose reply
    // differs and returns its label.
    std::string Play(const std::vector<Step>& steps, std::size_t chunk = 0)
    {
        for (const Step& step : steps) {
            Send(step.send, chunk);
            const auto reply = Answer();
            if (reply.has_value() != step.reply.has_value()
                || (reply && (reply->drop || reply->bytes != *step.reply))) {
                m_lastReply = reply;
                return step.label;
            }
        }
        return {};
    }

    CFaultPlan m_plan;
    std::unique_ptr<CWireSession> m_session;
    Bytes m_image;
    std::optional<SimReply> m_lastReply;
};

TEST_F(WireSessionTest, GoodMainUpdateIsAcknowledgedAfterStartRecordOneAndEvery64Further)
{
    const auto steps = GoodUpdate(kMainLine, {67});
    EXPECT_EQ(Play(steps), "");
    EXPECT_TRUE(Session().Complete());
    Session().LinkClosedByHost();
    const std::string summary = Session().Summary(4);
    EXPECT_NE(summary.find("update 4: kind=MAIN sections=1 records=67 bytes=347 acks=3 "),
              std::string::npos) << summary;
    EXPECT_NE(summary.find(" link=closed-by-host verdict=OK"), std::string::npos) << summary;

    Bytes expected = Header(kMainLine);
    for (int i = 0; i < 67; ++i)
        expected = Cat({expected, SmallRecord(i)});
    expected.push_back(0x00);
    EXPECT_EQ(m_image, expected);
}

class ChunkedSessionTest : public WireSessionTest, public ::testing::WithParamInterface<std::size_t> {};

// TCP keeps no write boundaries: the verdict may not depend on how the bytes were cut.
TEST_P(ChunkedSessionTest, SubUpdateWithAnEndOnlySectionAnyChunking)
{
    EXPECT_EQ(Play(GoodUpdate(kSubLine, {130, 0}), GetParam()), "");
    Session().LinkClosedByHost();
    EXPECT_EQ(Session().Verdict(), "OK");
    EXPECT_EQ(Session().SectionsDone(), 2);
    EXPECT_EQ(Session().Records(), 130);
    EXPECT_EQ(Session().Acks(), 4);  // START, 1, 65, 129
}

INSTANTIATE_TEST_SUITE_P(Chunks, ChunkedSessionTest, ::testing::Values(1u, 3u, 7u, 0u));

// Host errors: each named in the verdict, with where it happened.
struct HostErrorCase {
    const char* name;
    std::vector<Step> steps;       // played until the first unexpected reply
    bool closeAfter;               // the host then closes the link
    const char* verdict;           // expected within the verdict
    const char* finalReply;        // the instrument's last reply, if it refused
};

class HostErrorTest : public WireSessionTest, public ::testing::WithParamInterface<HostErrorCase> {};

std::vector<Step> With(std::vector<Step> steps, std::initializer_list<Step> more)
{
    steps.insert(steps.end(), more);
    return steps;
}

const std::vector<HostErrorCase> kHostErrors = {
    {"BadChecksum",
     With(Handshake(kMainLine), {{"s1r0", SmallRecord(0), "Y"}, {"s1r1", {0x01, 0x05, 0x80, 0x84}, "Y"}}),
     true, "ERROR: bad checksum in section 1 record 1 (image offset 60): got 0x84, the data sum to 0x85",
     "N"},
    {"LengthByteIsNotSummed",
     With(Handshake(kMainLine), {{"s1r0", {0x01, 0x12, 0x34, 0x47}, "Y"}}),
     true, "ERROR: bad checksum in section 1 record 0 (image offset 56)", "N"},
    {"BadChecksumInSecondSection",
     With(GoodUpdate(kSubLine, {2}), {{"s2r0", {0x02, 1, 2, 3, 4, 0}, "Y"}}),
     true, "ERROR: bad checksum in section 2 record 0", "N"},
    {"MissingEnd",
     With(Handshake(kMainLine), {{"s1r0", SmallRecord(0), "Y"}, {"s1r1", SmallRecord(1), "Y"},
                                 {"rest", SmallRecord(2), std::nullopt}}),
     true, "ERROR: missing END: link closed by the host in section 1 after record 2 (image offset 68)",
     nullptr},
    {"MissingEndInsideRecord",
     With(Handshake(kMainLine), {{"s1r0", SmallRecord(0), "Y"}, {"cut", {0x02, 0x01}, std::nullopt}}),
     true, "ERROR: missing END: link closed by the host inside section 1 record 1", nullptr},
    {"MissingSecondSection", GoodUpdate(kSubLine, {1}), true,
     "ERROR: missing END: link closed by the host at the start of section 2", nullptr},
    {"ExtraByteAfterLastEnd",
     With(GoodUpdate(kMainLine, {2}), {{"extra", {0x00}, std::nullopt}}), true,
     "ERROR: extra byte 0x00 after the last END (image offset 65)", nullptr},
    {"NoWaitForAcknowledgementAfterRecordOne",
     With(Handshake(kMainLine), {{"s1r0", SmallRecord(0), "Y"},
                                 {"s1r1+2", Cat({SmallRecord(1), SmallRecord(2)}), "Y"}}),
     true, "ERROR: host sent before acknowledgement: byte 0x01 at byte 86 of the exchange (image "
           "offset 64), while the reply to section 1 record 1 was due", nullptr},
    {"NoWaitForHeaderAcknowledgement",
     {{"all", Cat({kHandshake, Header(kMainLine), SmallRecord(0)}), std::nullopt}}, true,
     "ERROR: host sent before acknowledgement: byte 0x4D at byte 11", nullptr},
    {"UnknownHeaderLine", Handshake("MORVENAL RT72 MAIN ROM        \r\n"), true,
     "ERROR: unknown header line \"MORVENAL RT72 MAIN ROM        \\x0D\\x0A\"", "N"},
    {"HeaderLineEndingInLfOnly", Handshake("MORVENAL RT71 MAIN ROM         \n"), true,
     "ERROR: unknown header line", "N"},
    {"DisplayNameInsteadOfToken", Handshake("MORVENAL NB61 SUB ROM         \r\n"), true,
     "ERROR: unknown header line", "N"},
    {"WrongUpdateCommand", {{"command", Text(":UP:EXEC\n"), std::nullopt}}, true,
     "ERROR: expected the update-start command \":UP:EXEC\\r\\n\" but got 0x0A at byte 8", nullptr},
    {"WrongSyncByte", {{"command", Text(":UP:EXEC\r\n"), std::nullopt}, {"sync", {0x54}, "\xAA"}},
     true, "ERROR: expected the sync byte 0x55 but got 0x54 at byte 10", nullptr},
    {"WrongIdentification",
     {{"command", Text(":UP:EXEC\r\n"), std::nullopt}, {"sync", {0x55}, "\xAA"},
      {"ident", Text("MORVENAl\r\n"), "MORVENAL\r\n"}},
     true, "ERROR: expected the identification command \"MORVENAL\\r\\n\" but got 0x6C at byte 18",
     nullptr},
    {"WrongHeaderSize",
     {{"command", Text(":UP:EXEC\r\n"), std::nullopt}, {"sync", {0x55}, "\xAA"},
      {"ident", Text("MORVENAL\r\n"), "MORVENAL\r\n"}, {"header-size", {0x37}, "8"}},
     true, "ERROR: expected the header-size byte 0x38 but got 0x37 at byte 21", nullptr},
    {"ClosedDuringHandshake", {{"command", Text(":UP:EXEC\r\n"), std::nullopt}}, true,
     "ERROR: link closed by the host during the sync step", nullptr},
};

TEST_P(HostErrorTest, IsNamedInTheVerdict)
{
    const HostErrorCase& c = GetParam();
    Play(c.steps);
    if (c.finalReply) {
        ASSERT_TRUE(m_lastReply.has_value());
        EXPECT_EQ(m_lastReply->bytes, c.finalReply);
    }
    if (c.closeAfter)
        Session().LinkClosedByHost();
    EXPECT_NE(Session().Verdict().find(c.verdict), std::string::npos) << Session().Verdict();
    EXPECT_TRUE(Session().HasError());
}

INSTANTIATE_TEST_SUITE_P(Cases, HostErrorTest, ::testing::ValuesIn(kHostErrors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WireSessionTest, HostWaitingAtAWrongPointIsReportedWhenItFallsSilent)
{
    // The host waits after record 64, where no acknowledgement is due.
    std::vector<Step> steps = Handshake(kMainLine);
    AddSection(steps, 1, 2);
    steps.pop_back();
    Bytes block;
    for (int i = 2; i <= 64; ++i)
        block = Cat({block, SmallRecord(i)});
    steps.push_back({"block", block, std::nullopt});
    EXPECT_EQ(Play(steps), "");
    Session().HostSilent(30000);
    EXPECT_EQ(Session().Verdict(), "ERROR: host went silent for 30000 ms during section 1 after record 64");
    EXPECT_EQ(Session().LinkEnd(), "closed-by-sim");
}

// Faults the instrument injects: the right wrong reply at the right point, and a host that
// then closes the link leaves a FAULT verdict, not an error.
struct FaultCase {
    const char* name;
    const char* fault;
    const char* hitAt;          // label of the step whose reply is spoilt
    std::optional<std::string> reply;  // what is sent instead; nullopt for a drop
    const char* verdict;
};

class InjectedFaultTest : public WireSessionTest, public ::testing::WithParamInterface<FaultCase> {};

const std::string kZero(1, '\0');
const FaultCase kFaults[] = {
    {"SyncWrong", "sync:wrong", "sync", kZero, "FAULT: wrong reply at sync"},
    {"IdentWrong", "ident:wrong", "ident", "MORVENAX\r\n", "FAULT: wrong reply at ident"},
    {"IdentShort", "ident:short", "ident", "MORV", "FAULT: short identification reply at ident"},
    {"HeaderSizeSilent", "header-size:silent", "header-size", "", "FAULT: no reply at header-size"},
    {"HeaderDrop", "header:drop", "header", std::nullopt, "FAULT: link dropped at header"},
    {"StartWrong", "start:wrong", "s1r0", kZero, "FAULT: wrong reply at section 1 record 0"},
    {"NakAt65", "record:65:nak", "s1r65", "N", "FAULT: NAK at section 1 record 65"},
    {"SecondSectionSilent", "s2:record:1:silent", "s2r1", "", "FAULT: no reply at section 2 record 1"},
    {"FirstAckDropped", "ack:drop", "s1r0", std::nullopt, "FAULT: link dropped at section 1 record 0"},
};

TEST_P(InjectedFaultTest, SpoilsExactlyItsReply)
{
    const FaultCase& c = GetParam();
    std::string error;
    ASSERT_TRUE(m_plan.Add(c.fault, error)) << error;
    EXPECT_EQ(Play(GoodUpdate(kSubLine, {67, 2})), c.hitAt);
    ASSERT_TRUE(m_lastReply.has_value());
    if (c.reply) {
        EXPECT_FALSE(m_lastReply->drop);
        EXPECT_EQ(m_lastReply->bytes, *c.reply);
        Session().LinkClosedByHost();
        EXPECT_EQ(Session().LinkEnd(), "closed-by-host");
    } else {
        EXPECT_TRUE(m_lastReply->drop);
        Session().LinkDroppedBySim();
        EXPECT_EQ(Session().LinkEnd(), "dropped-by-sim");
    }
    EXPECT_EQ(Session().Verdict(), c.verdict);
    EXPECT_FALSE(Session().HasError());
}

INSTANTIATE_TEST_SUITE_P(Cases, InjectedFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WireSessionTest, HostThatGoesOnAfterAWrongReplyIsAnError)
{
    std::string error;
    ASSERT_TRUE(m_plan.Add("sync:wrong", error));
    EXPECT_EQ(Play(Handshake(kMainLine)), "sync");
    Send(Text("MORVENAL\r\n"));
    EXPECT_EQ(Session().Verdict(),
              "ERROR: host went on after the instrument's wrong reply at sync: byte 0x4D at byte 11 of the exchange");
}

TEST_F(WireSessionTest, HostThatNeverGivesUpAfterSilenceIsAnError)
{
    std::string error;
    ASSERT_TRUE(m_plan.Add("header:silent", error));
    EXPECT_EQ(Play(Handshake(kMainLine)), "header");
    Session().HostSilent(30000);
    EXPECT_EQ(Session().Verdict(),
              "ERROR: host kept the link open 30000 ms after the instrument's no reply at header");
}

TEST_F(WireSessionTest, DelaysKeepTheProperReplyAndOnlyTouchRecordAcknowledgements)
{
    std::string error;
    ASSERT_TRUE(m_plan.Add("record:1:delay:250", error));
    ASSERT_TRUE(m_plan.Add("sync:delay:40", error));
    m_plan.SetAckDelayMs(7);
    std::vector<int> delays;
    for (const Step& step : GoodUpdate(kMainLine, {3})) {
        Send(step.send);
        if (const auto reply = Answer()) {
            EXPECT_EQ(reply->bytes, *step.reply);
            delays.push_back(reply->delayMs);
        }
    }
    EXPECT_EQ(delays, (std::vector<int>{40, 0, 0, 0, 7, 257}));
    Session().LinkClosedByHost();
    EXPECT_EQ(Session().Verdict(), "OK");
}

TEST_F(WireSessionTest, ByteDuringADelayedAcknowledgementMeansTheHostDidNotWait)
{
    m_plan.SetAckDelayMs(100);
    std::vector<Step> steps = Handshake(kMainLine);
    for (const Step& step : steps) {
        Send(step.send);
        Answer();
    }
    Send(SmallRecord(0));
    ASSERT_TRUE(Session().PendingReply().has_value());
    Send(SmallRecord(1));  // arrives while the 'Y' is being held back
    EXPECT_FALSE(Session().PendingReply().has_value());
    EXPECT_NE(Session().Verdict().find("host sent before acknowledgement"), std::string::npos);
    EXPECT_TRUE(Session().WantsHangUp());
}

} // namespace
