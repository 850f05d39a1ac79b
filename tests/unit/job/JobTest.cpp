#include "FakeInstrument.h"
#include "RecordingHost.h"
#include "StatusTexts.h"
#include "UpdateFileBuilder.h"

#include "update/StatusLog.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace testsupport;

namespace {

class UpdateRun : public ::testing::Test {
protected:
    UpdateSettings Settings(int port, bool fast, int model = 0)
    {
        UpdateSettings s;
        ApplyNewDocumentDefaults(s);
        ApplyModelSelection(s, model);
        s.ipAddress = 0x7F000001;  // the fake instrument on loopback, never the default address
        s.port = port;
        s.fastMode = fast ? 1 : 0;
        s.filePath = dir / "fw1.R71";
        return s;
    }

    // Volume 1 of a file whose record stream is `stream`.
    void WriteVolume(int volume, const std::string& kind, const Bytes& stream, const std::string& token = "RT71")
    {
        Bytes file = Header(HeaderLine(token, kind), volume);
        Append(file, stream);
        WriteFile(dir / ("fw" + std::to_string(volume) + ".R71"), file);
    }

    std::string Run(RecordingHost& host)
    {
        UpdateThreadProc(&host);
        EXPECT_TRUE(host.finished.load());
        EXPECT_EQ(host.finishedWithText, host.Text()) << "finished before the last status text";
        return host.Text();
    }

    Bytes Wire(const std::string& kind, const Bytes& stream)
    {
        Bytes wire = {':', 'U', 'P', ':', 'E', 'X', 'E', 'C', '\r', '\n', 0x55,
                      'M', 'O', 'R', 'V', 'E', 'N', 'A', 'L', '\r', '\n', 0x38};
        Append(wire, Header(HeaderLine("RT71", kind), 1));
        Append(wire, stream);
        return wire;
    }

    TempDir dir;
    // What every run that reaches the record stream has written first.
    const std::string toStart = std::string(kOpening) + kDetecting + kHeader + kStart;
};

struct KindCase {
    const char* kind;
    int sections;
    bool fast;
};

void PrintTo(const KindCase& c, std::ostream* os)
{
    *os << c.kind << (c.fast ? " fast" : " normal");
}

class UpdateKinds : public UpdateRun, public ::testing::WithParamInterface<KindCase> {};

TEST_P(UpdateKinds, SendsExactlyTheFileAndCompletes)
{
    const KindCase& c = GetParam();
    Bytes stream;
    for (int s = 0; s < c.sections; ++s)
        Append(stream, Section(67, 100u * static_cast<uint32_t>(s)));
    Bytes onDisk = stream;
    Append(onDisk, Section(3, 999));  // behind the last needed END: never read
    WriteVolume(1, c.kind, onDisk);
    FakeInstrument instrument;
    RecordingHost host(Settings(instrument.Port(), c.fast));
    // The second START message continues the line of the first section's progress text.
    std::string expected = toStart + "Sending (65) Record";
    if (c.sections == 2)
        expected += std::string(kStart) + "Sending (65) Record";
    expected += kDone;
    EXPECT_EQ(Run(host), expected);
    EXPECT_EQ(instrument.Received(), Wire(c.kind, stream));
    if (!c.fast) {  // each record written by itself (fast mode's blocks have tests of their own)
        std::vector<uint32_t> each;
        for (int s = 0; s < c.sections; ++s) {
            each.insert(each.end(), 67, 16);
            each.push_back(1);
        }
        EXPECT_EQ(host.writes, each);
    }
    // The outcome carries the counts: every record and byte of the stream, and the two
    // acknowledged blocks of each section (after record 1 and record 65).
    EXPECT_EQ(host.result.outcome, UpdateOutcome::Completed);
    EXPECT_EQ(host.changes.back().ends, UpdateOutcome::Completed) << "the last message says what it ends";
    EXPECT_EQ(host.result.step, UpdateStep::Finished);
    EXPECT_EQ(host.result.records, 67u * static_cast<unsigned>(c.sections));
    EXPECT_EQ(host.result.bytes, stream.size());
    EXPECT_EQ(host.result.blocks, 2u * static_cast<unsigned>(c.sections));
    EXPECT_TRUE(instrument.SawClose());
    EXPECT_EQ(instrument.ExtraBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, UpdateKinds,
                         ::testing::Values(KindCase{"MAIN", 1, true}, KindCase{"MAIN", 1, false},
                                           KindCase{"PATTERN", 1, true}, KindCase{"SUB", 2, true},
                                           KindCase{"SUB", 2, false}),
                         [](const ::testing::TestParamInfo<KindCase>& info) {
                             return std::string(info.param.kind) + (info.param.fast ? "Fast" : "Normal");
                         });

// Records are read straight into the block buffer: 64 records of the longest length fill
// it exactly (the reader's NUL lands one byte beyond) and still go out as one write each,
// byte for byte as in the file; a checksum error in the next block sends nothing more.
TEST_F(UpdateRun, FastModeBlocksOfLongestRecordsFillTheBufferExactly)
{
    const Bytes stream = Section(130, 11, 255);  // START + records 1..129
    WriteVolume(1, "MAIN", stream);
    FakeInstrument instrument;
    RecordingHost host(Settings(instrument.Port(), true));
    EXPECT_EQ(Run(host), toStart + "Sending (129) Record" + kDone);
    EXPECT_EQ(host.writes, (std::vector<uint32_t>{512, 512, 64 * 512, 64 * 512, 1}));
    EXPECT_EQ(instrument.Received(), Wire("MAIN", stream));

    Bytes spoilt = stream;
    spoilt[(1 + 66) * 512 - 1] ^= 0xFF;  // the checksum of record 66, inside the third block
    WriteVolume(1, "MAIN", spoilt);
    FakeInstrument second;
    RecordingHost bad(Settings(second.Port(), true));
    EXPECT_EQ(Run(bad), toStart + "Sending (65) Record" + "\r\nIncorrect Check Sum.\r\n");
    EXPECT_EQ(bad.writes, (std::vector<uint32_t>{512, 512, 64 * 512}));
}

// Every reply point under every fault is run end to end, CLI against the simulator, in
// tests/reliability; here the run's own file and link outcomes.

TEST_F(UpdateRun, FileProblemsEndTheRunWithTheirMessage)
{
    FakeInstrument instrument;
    // A file of another model: nothing is sent, no link is made.
    WriteVolume(1, "MAIN", Section(3, 1), "RT54");
    RecordingHost wrongModel(Settings(instrument.Port(), true));
    EXPECT_EQ(Run(wrongModel), std::string(kOpening) + "\r\n\r\nInvalid ROM Type.\r\n");
    EXPECT_EQ(wrongModel.result.outcome, UpdateOutcome::InvalidRomType);

    // A bad checksum stops everything: no END, and the records held for the block stay unsent.
    Bytes stream = Section(20, 1);
    stream[16 * 9 + 15] ^= 0xFF;  // checksum of record index 9
    WriteVolume(1, "MAIN", stream);
    RecordingHost badSum(Settings(instrument.Port(), true));
    EXPECT_EQ(Run(badSum), toStart + "Sending (1) Record" + "\r\nIncorrect Check Sum.\r\n");
    EXPECT_EQ(badSum.writes, (std::vector<uint32_t>{16, 16}));
    EXPECT_EQ(badSum.result.outcome, UpdateOutcome::IncorrectChecksum);
    EXPECT_EQ(badSum.result.step, UpdateStep::Records);
    EXPECT_EQ(instrument.Received(), Wire("MAIN", Bytes(stream.begin(), stream.begin() + 32)));

    // The records behind a block are read while its acknowledgement is on its way; when
    // that acknowledgement never comes, the lost link ends the run, not the bad record
    // read meanwhile. Reply 5 is record 1's acknowledgement.
    FakeInstrument closing(5, FakeInstrument::Fault::Close);
    RecordingHost lostAck(Settings(closing.Port(), true));
    EXPECT_EQ(Run(lostAck), toStart + "Sending (1) Record" + kCommError);
    EXPECT_EQ(lostAck.result.outcome, UpdateOutcome::CommunicationError);
    EXPECT_EQ(lostAck.writes, (std::vector<uint32_t>{16, 16}));
}

TEST_F(UpdateRun, ShortHeaderFailsOnlyAfterTheHeaderSizeExchange)
{
    Bytes file = Header(HeaderLine("RT71", "MAIN"), 1);
    file.resize(52);
    WriteFile(dir / "fw1.R71", file);
    FakeInstrument instrument;
    RecordingHost host(Settings(instrument.Port(), true));
    EXPECT_EQ(Run(host), std::string(kOpening) + kDetecting + kHeader + "\r\nIncorrect input file.\r\n");
    EXPECT_EQ(instrument.Replies(), 3);
    EXPECT_EQ(host.result.outcome, UpdateOutcome::IncorrectInputFile);
    EXPECT_EQ(host.result.step, UpdateStep::Header);
}

TEST_F(UpdateRun, SectionGoesOnInVolumeTwoWithUnbrokenNumbering)
{
    // 131 records; volume 1 ends after record index 40, inside the first block of 64.
    Bytes stream = Section(131, 3);
    const Bytes part1(stream.begin(), stream.begin() + 41 * 16);
    const Bytes part2(stream.begin() + 41 * 16, stream.end());
    WriteVolume(1, "MAIN", part1);
    WriteVolume(2, "MAIN", part2);
    FakeInstrument instrument;
    RecordingHost host(Settings(instrument.Port(), true));
    EXPECT_EQ(Run(host), toStart + "Sending (129) Record" + kDone);
    EXPECT_EQ(host.writes, (std::vector<uint32_t>{16, 16, 64 * 16, 64 * 16, 16, 1}));
    EXPECT_EQ(instrument.Received(), Wire("MAIN", stream));
    EXPECT_TRUE(host.prompts.empty());
}

TEST_F(UpdateRun, SubFileWhoseVolumeOneEndsAfterTheFirstEnd)
{
    const Bytes first = Section(5, 1);
    const Bytes second = Section(4, 2);
    WriteVolume(1, "SUB", first);
    WriteVolume(2, "SUB", second);
    FakeInstrument instrument;
    RecordingHost host(Settings(instrument.Port(), true));
    EXPECT_EQ(Run(host), toStart + "Sending (1) Record" + kStart + "Sending (1) Record" + kDone);
    Bytes stream = first;
    Append(stream, second);
    EXPECT_EQ(instrument.Received(), Wire("SUB", stream));
}

TEST_F(UpdateRun, MissingVolumeTwoIsAskedForThenCancelledOrFound)
{
    Bytes stream = Section(6, 1);
    stream.pop_back();  // volume 1 ends without its END
    WriteVolume(1, "MAIN", stream);
    {
        FakeInstrument instrument;
        RecordingHost host(Settings(instrument.Port(), true));
        EXPECT_EQ(Run(host), toStart + "Sending (1) Record" + "\r\nAborted according to instruction received.\r\n");
        EXPECT_EQ(host.prompts, std::vector<std::string>{"nsert Disk 2"});
        EXPECT_EQ(host.result.outcome, UpdateOutcome::Cancelled);
        // The prompt and the result carry the same refusal: the host needs no second look.
        ASSERT_TRUE(host.result.refusal && host.refusals.size() == 1u);
        EXPECT_TRUE(host.result.refusal->path == dir / "fw2.R71" && host.refusals[0].path == dir / "fw2.R71");
    }
    {
        FakeInstrument instrument;
        RecordingHost host(Settings(instrument.Port(), true));
        host.answers = {true};
        host.beforeAnswer = [&](size_t) { WriteVolume(2, "MAIN", Bytes{0x00}); };
        EXPECT_EQ(Run(host), toStart + "Sending (1) Record" + kDone);
        EXPECT_FALSE(host.result.refusal) << "a volume brought after OK ends nothing";
    }
    {
        // Volume 2 without the END record.
        Bytes noEnd = Section(2, 9);
        noEnd.pop_back();
        WriteVolume(2, "MAIN", noEnd);
        FakeInstrument instrument;
        RecordingHost host(Settings(instrument.Port(), true));
        EXPECT_EQ(Run(host), toStart + "Sending (1) Record" + "\r\nNo END record.\r\n");
        EXPECT_EQ(host.result.outcome, UpdateOutcome::NoEndRecord);
    }
}

// Every write is labelled before it goes out, so a trace or a failure's reason never reads
// the bytes again to say what they were: here a good SUB update in fast mode, in order.
TEST_F(UpdateRun, GoodSubUpdateLabelsEveryWriteInOrder)
{
    Bytes stream;
    for (int s = 0; s < 2; ++s)
        Append(stream, Section(67, 100u * static_cast<uint32_t>(s)));  // START + records 1..66
    WriteVolume(1, "SUB", stream);
    FakeInstrument instrument;
    RecordingHost host(Settings(instrument.Port(), true));
    Run(host);
    using S = UpdateStep;
    std::vector<std::tuple<S, int, uint64_t, uint64_t>> expected = {
        {S::UpdateStart, 0, 0, 0}, {S::Sync, 0, 0, 0}, {S::Identification, 0, 0, 0},
        {S::HeaderSize, 0, 0, 0}, {S::Header, 0, 0, 0}};
    for (int section = 1; section <= 2; ++section)
        for (auto label : {std::tuple{S::StartRecord, section, 0ull, 0ull}, std::tuple{S::Records, section, 1ull, 1ull},
                           std::tuple{S::Records, section, 2ull, 65ull}, std::tuple{S::Records, section, 66ull, 66ull},
                           std::tuple{S::EndRecord, section, 0ull, 0ull}})
            expected.emplace_back(std::get<0>(label), std::get<1>(label), std::get<2>(label), std::get<3>(label));
    std::vector<std::tuple<S, int, uint64_t, uint64_t>> labelled;
    uint64_t bytes = 0;
    for (const SendLabel& label : host.labels) {
        labelled.emplace_back(label.step, label.section, label.firstRecord, label.lastRecord);
        bytes += label.bytes;
    }
    EXPECT_EQ(labelled, expected);
    EXPECT_EQ(bytes, instrument.Received().size()) << "the labels account for every byte sent";
    EXPECT_EQ(host.labels[12].Describe(), "records 2..65 of section 2");
}

// A SUB file whose volume 2 is brought at the disk prompt: the total counts volume 2 once it
// is there, no value says 100 % before the last END, and the prompt's time is not the
// transfer's.
TEST_F(UpdateRun, ProgressAcrossAVolumeBroughtAtThePrompt)
{
    const Bytes first = Section(5, 1);
    const Bytes second = Section(70, 2);
    const Bytes secondHead(second.begin(), second.begin() + 30 * 16);  // volume 1 ends inside section 2
    const Bytes secondTail(second.begin() + 30 * 16, second.end());
    Bytes volume1 = first;
    Append(volume1, secondHead);
    WriteVolume(1, "SUB", volume1);
    FakeInstrument instrument;
    // Normal mode: every record of volume 1 has gone out when the prompt comes (fast mode
    // keeps the open block for volume 2's records).
    RecordingHost host(Settings(instrument.Port(), false));
    host.answers = {true};
    constexpr auto kDelay = std::chrono::milliseconds(600);
    host.beforeAnswer = [&](size_t) {
        std::this_thread::sleep_for(kDelay);
        WriteVolume(2, "SUB", secondTail);
    };
    const auto start = std::chrono::steady_clock::now();
    Run(host);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(host.result.outcome, UpdateOutcome::Completed);

    const uint64_t all = first.size() + second.size();
    ASSERT_FALSE(host.progress.empty());
    size_t asked = host.progress.size();
    for (size_t i = 0; i < host.progress.size(); ++i) {
        const UpdateProgress& p = host.progress[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(p.sections, 2);
        EXPECT_LE(p.bytes, p.total);
        if (i + 1 < host.progress.size()) {
            EXPECT_LT(p.Percent(), 100);
            EXPECT_FALSE(p.finished);
        }
        if (p.waiting && asked == host.progress.size())
            asked = i;
        if (asked == host.progress.size()) {
            // Before the prompt only volume 1 is known.
            EXPECT_EQ(p.volume, 1);
            EXPECT_EQ(p.volumes, 1);
            EXPECT_EQ(p.total, volume1.size());
        } else if (i == asked) {
            EXPECT_EQ(p.volume, 2);
            EXPECT_EQ(p.volumes, 2);
            EXPECT_EQ(p.section, 2);
            EXPECT_EQ(p.bytes, volume1.size());
            EXPECT_LT(p.SecondsLeft(), 0) << "no time left can be known while a volume is asked for";
        } else {
            EXPECT_FALSE(p.waiting);
            EXPECT_EQ(p.volume, 2);
            EXPECT_EQ(p.volumes, 2);
            EXPECT_EQ(p.total, all);
        }
    }
    ASSERT_LT(asked, host.progress.size()) << "the prompt was never told";
    EXPECT_EQ(host.progress.front().section, 0);
    EXPECT_EQ(host.progress[asked - 1].Percent(), 99) << "volume 1 sent is not the whole update";
    const UpdateProgress& last = host.progress.back();
    EXPECT_TRUE(last.finished);
    EXPECT_EQ(last.Percent(), 100);
    EXPECT_EQ(last.bytes, all);
    EXPECT_EQ(last.total, all);
    EXPECT_EQ(last.SecondsLeft(), 0.0);
    EXPECT_LE(last.seconds, wall - std::chrono::duration<double>(kDelay).count() * 0.9);
}

// Volume 2 present from the start is counted from the start; a file named like volume 2
// that is volume 1 again is not.
TEST_F(UpdateRun, ProgressTotalCountsVolumeTwoFoundAtTheStart)
{
    const Bytes stream = Section(131, 3);
    for (const int stray : {0, 1}) {
        WriteVolume(1, "MAIN", Bytes(stream.begin(), stream.begin() + 41 * 16));
        WriteVolume(stray ? 1 : 2, "MAIN", Bytes(stream.begin() + 41 * 16, stream.end()));
        std::filesystem::rename(dir / (stray ? "fw1.R71" : "fw2.R71"), dir / "fw2.R71");
        WriteVolume(1, "MAIN", stray ? stream : Bytes(stream.begin(), stream.begin() + 41 * 16));
        FakeInstrument instrument;
        RecordingHost host(Settings(instrument.Port(), true));
        Run(host);
        ASSERT_FALSE(host.progress.empty());
        EXPECT_EQ(host.progress.front().total, stream.size()) << "stray volume 2: " << stray;
        EXPECT_EQ(host.progress.front().volumes, stray ? 1 : 2);
        EXPECT_EQ(host.progress.back().Percent(), 100);
    }
}

// The log's two writes, made by the log itself, and what the host is told after each.
TEST(StatusLog, KeepsOnlyTheLastProgressTextAndTellsTheHostEachChange)
{
    RecordingHost host{UpdateSettings()};
    CStatusLog log(host);
    log.Append("Opening File...\r\n");
    log.Append("Sending START record...\r\n");
    log.ReplaceLastLine("Sending (1) Record");
    log.ReplaceLastLine("Sending (65) Record");
    EXPECT_EQ(host.Text(), "Opening File...\r\nSending START record...\r\nSending (65) Record");
    // A message starting with CR LF begins a new line; one without continues it.
    log.Append("\r\nTransfer completed.\r\n");
    EXPECT_EQ(host.Text(), "Opening File...\r\nSending START record...\r\nSending (65) Record\r\nTransfer completed.\r\n");
    EXPECT_EQ(host.status.GetSelEnd(), host.status.GetTextLength());
    EXPECT_EQ(host.statusChanges, 5);
    // Each change as the host is told it, so that no host compares texts to find out.
    EXPECT_EQ(host.changes[2].kind, LogChange::Kind::Appended) << "the first progress text only adds a line";
    EXPECT_EQ(host.changes[3].kind, LogChange::Kind::LastLineReplaced);
    EXPECT_FALSE(host.changes[4].gluedToProgress) << "it begins with CR LF";
    log.ReplaceLastLine("Sending (1) Record");
    log.Append("Sending START record...\r\n", IDS_SENDING_START);
    EXPECT_TRUE(host.changes.back().gluedToProgress);
    EXPECT_EQ(host.changes.back().messageId, IDS_SENDING_START);
    log.Clear();
    EXPECT_EQ(host.changes.back().kind, LogChange::Kind::Cleared);
    log.Append("abc");
    log.Append("def\r\n");
    log.ReplaceLastLine("レコード（1）を送信しています。");  // multi-byte text is byte-addressed
    log.ReplaceLastLine("x");
    EXPECT_EQ(log.Text().GetText(), "abcdef\r\nx");
}

}  // namespace
