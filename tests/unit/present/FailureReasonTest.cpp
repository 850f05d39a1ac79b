// Why a run failed, from what its link watch saw: the words an operator and a script read.

#include "present/FailureReason.h"

#include "platform/LastError.h"

#include <gtest/gtest.h>

namespace zorflash {
namespace {

// A reason names the write that failed in the trace's own words: the English of a label
// must stay the one the trace prints, and the Japanese must keep every number.
TEST(FailureReason, WritesAreNamedAsTheTraceNamesThemInBothLanguages)
{
    const UpdateStep steps[] = {UpdateStep::UpdateStart, UpdateStep::Sync,        UpdateStep::Identification,
                                UpdateStep::HeaderSize,  UpdateStep::Header,      UpdateStep::StartRecord,
                                UpdateStep::Records,     UpdateStep::EndRecord,   UpdateStep::Finished};
    for (const UpdateStep step : steps) {
        for (const uint64_t last : {2u, 65u}) {
            SendLabel label;
            label.step = step;
            label.section = 2;
            label.firstRecord = 2;
            label.lastRecord = last;
            label.bytes = 1234;
            EXPECT_EQ(LabelText(label).Text(Language::English), label.Describe());
            const std::string japanese = LabelText(label).Text(Language::Japanese);
            EXPECT_NE(japanese, label.Describe());
            for (const std::string& number : {std::string("2"), std::to_string(last)}) {
                const bool given = label.Describe().find(number) != std::string::npos;
                EXPECT_EQ(japanese.find(number) != std::string::npos, given) << japanese;
            }
        }
    }
}

// The sync byte went out; what came back (at most 64 bytes are kept) and how the wait
// ended tell the reasons apart. The peer's close is the platform's own code, so a
// Windows build words it as a close too.
TEST(FailureReason, TheExchangeSaysWhatArrivedInsteadOfTheReply)
{
    struct Case {
        std::string arrived;
        uint32_t failure;  // 0: the wait ended with bytes
        std::string reason;
    };
    const std::string sync = "setup-failure: waiting for the reply to the sync byte 0x55: ";
    const Case cases[] = {
        {"", kErrorTimeout, sync + "nothing arrived after 2.0 s"},
        {"Z\n", kErrorTimeout, sync + "only \"Z\\x0a\" arrived, then nothing for 2.0 s"},
        {"", kErrorConnectionReset, sync + "the instrument closed the connection"},
        {std::string(100, 'x'), 0,
         "setup-failure: after the sync byte 0x55 the instrument answered \"" + std::string(64, 'x') +
             "\" where 0xAA was expected"},
    };
    for (const Case& c : cases) {
        CLinkWatch watch;
        const auto now = CLinkObserver::Clock::now();
        watch.OnSend(SendLabel{UpdateStep::Sync});
        const uint8_t syncByte = 0x55;
        watch.OnLinkBytes(CLinkObserver::Direction::Sent, &syncByte, 1, now);
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.arrived.data());
        if (!c.arrived.empty())
            watch.OnLinkBytes(CLinkObserver::Direction::Received, bytes, uint32_t(c.arrived.size()), now);
        if (c.failure)
            watch.OnLinkFailure(CLinkObserver::Direction::Received, c.failure, std::chrono::seconds(2), now);
        const CLocalText reason = FailureReason(COutcomeTable::Of(UpdateOutcome::SetupFailure), false,
                                                UpdateStep::Sync, UpdateSettings(), watch, std::nullopt, "");
        EXPECT_EQ(reason.Text(Language::English), c.reason);
    }
}

}  // namespace
}  // namespace zorflash
