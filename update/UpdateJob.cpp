#include "update/UpdateJob.h"

#include "link/DeviceLink.h"
#include "platform/AbortSignal.h"
#include "platform/FileException.h"
#include "platform/MemoryException.h"
#include "platform/Sleep.h"
#include "platform/StringResource.h"
#include "update/RecordStream.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateHost.h"
#include "update/UpdateProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace zorflash {

using namespace UpdateProtocol;

namespace {
constexpr uint32_t kLongestRecord = kRecordBufferSize - 1;  // N = 255: 512 bytes
}  // namespace

CUpdateJob::CUpdateJob(CUpdateHost& host)
    : m_host(host)
    , m_settings(host.Settings())
    , m_log(host)
    , m_language(host.StatusLanguage())
{
}

CUpdateJob::~CUpdateJob() = default;

void CUpdateJob::AppendMessage(unsigned id)
{
    m_log.Append(LoadStringResource(id, m_language), id);
}

UpdateOutcome CUpdateJob::End(UpdateOutcome outcome, unsigned id)
{
    m_log.End(outcome, id, m_language);
    return outcome;
}

template <typename Wait>
auto CUpdateJob::Waiting(Wait wait)
{
    const auto from = std::chrono::steady_clock::now();
    auto answer = wait();
    m_waited += std::chrono::steady_clock::now() - from;
    return answer;
}

void CUpdateJob::ReportError(const std::string& text)
{
    Waiting([&] {
        m_host.ReportError(text);
        return true;
    });
}

bool CUpdateJob::PromptForDisk(const VolumeRefusal& refusal)
{
    if (refusal.kind == VolumeRefusal::Kind::Unreadable)
        m_host.NoteVolumeUnavailable(refusal);
    const int volume = refusal.volume;
    m_progress.volume = volume;
    m_progress.volumes = std::max(m_progress.volumes, volume);
    m_progress.waiting = true;
    TellProgress();
    const bool ok = Waiting(
        [&] { return m_host.PromptOkCancel(FormatStringResource(m_language, IDS_INSERT_DISK, volume), refusal); });
    m_progress.waiting = false;
    // Kept only while it is the reason the run stops; a volume found after OK leaves none.
    if (ok)
        m_result.refusal.reset();
    else
        m_result.refusal = refusal;
    return ok;
}

void CUpdateJob::TellProgress()
{
    m_progress.bytes = m_result.bytes;
    m_progress.step = m_result.step;
    m_progress.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started - m_waited).count();
    m_host.OnProgress(m_progress);
}

SendLabel CUpdateJob::Label(UpdateStep step, uint64_t first, uint64_t last, uint32_t bytes) const
{
    return SendLabel{step, m_progress.section, first, last, bytes};
}

bool CUpdateJob::SendCommand(const char* command, UpdateStep step)
{
    m_host.OnSend(Label(step, 0, 0, static_cast<uint32_t>(std::strlen(command) + 2)));  // with CR LF
    return m_link->SendCommand(command) == 0;
}

bool CUpdateJob::SendBytes(const uint8_t* data, const SendLabel& label, bool recordStream)
{
    const uint32_t length = label.bytes;
    m_host.OnSend(label);
    uint32_t sent = length;
    if (m_link->Send(data, sent, m_timeout) != 0)
        return false;
    if (recordStream) {
        m_result.bytes += length;
        m_host.OnRecordStreamWrite(length);
        TellProgress();
    }
    return true;
}

bool CUpdateJob::VolumeChanged()
{
    // Checked before every part of the record stream leaves: a volume written over during
    // the transfer would give the instrument an image that is neither version, and the END
    // that follows would make it accept that image.
    return !m_stream->VolumeUnchanged();
}

bool CUpdateJob::ReceiveBytes(uint8_t* buffer, uint32_t length)
{
    uint32_t received = length;
    return m_link->ReceiveExact(buffer, received, m_timeout) == 0;
}

bool CUpdateJob::ReceiveAck()
{
    uint8_t reply = 0;
    return ReceiveBytes(&reply, 1) && reply == kAck;
}

CUpdateJob::Ended CUpdateJob::Exchange(const uint8_t* data, uint32_t length, uint8_t expected,
                                       UpdateOutcome wrongReply, unsigned wrongReplyMessage)
{
    uint8_t reply = 0;
    if (!SendBytes(data, Label(m_result.step, 0, 0, length), false) || !ReceiveBytes(&reply, 1))
        return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
    if (reply != expected)
        return End(wrongReply, wrongReplyMessage);
    return std::nullopt;
}

UpdateResult CUpdateJob::Run()
{
    m_timeout = m_host.TransferTimeout();
    m_result = UpdateResult();
    m_blockRecords = 0;
    m_progress = UpdateProgress();
    m_started = std::chrono::steady_clock::now();
    m_waited = {};
    m_log.Clear();
    std::unique_ptr<uint8_t[]> block;
    try {
        // One byte beyond the block: records are read straight into it, and the reader
        // puts a NUL behind each one.
        block.reset(new (std::nothrow) uint8_t[kBlockBufferSize + 1]);
        if (!block)
            throw CMemoryException();
        m_result.outcome = RunSteps(block.get());
    } catch (const CFileException& e) {
        ReportError(e.GetErrorMessage(m_language));
        m_result.outcome = UpdateOutcome::FileError;
    } catch (const CMemoryException& e) {
        ReportError(e.GetErrorMessage(m_language));
        m_result.outcome = UpdateOutcome::OutOfMemory;
    } catch (const std::bad_alloc&) {
        ReportError(CMemoryException().GetErrorMessage(m_language));
        m_result.outcome = UpdateOutcome::OutOfMemory;
    }
    if (m_result.Completed())
        m_result.step = UpdateStep::Finished;
    // A transfer or prompt the front end broke off ends as its own outcome, whatever
    // failure it showed as.
    const CAbortSignal* abort = m_host.GetAbortSignal();
    if (!m_result.Completed() && abort && abort->IsTriggered())
        m_result.outcome = UpdateOutcome::Interrupted;
    // The same clean-up on every exit, in this order: link, file, block buffer.
    if (m_link) {
        m_link->Close();
        m_link.reset();
    }
    if (m_stream) {
        m_stream->Close();
        m_stream.reset();
    }
    block.reset();
    return m_result;
}

UpdateOutcome CUpdateJob::RunSteps(uint8_t* block)
{
    RomKind kind = kRomKindUnchecked;
    Ended outcome = OpenFile(kind);
    if (!outcome)
        outcome = OpenTarget();
    if (!outcome)
        outcome = Handshake();
    if (!outcome)
        outcome = SendHeader();
    return outcome ? *outcome : SendRecordSections(block, kind);
}

CUpdateJob::Ended CUpdateJob::OpenFile(RomKind& kind)
{
    m_result.step = UpdateStep::OpeningFile;
    AppendMessage(IDS_OPENING_FILE);
    m_stream = std::make_unique<CRecordStream>(m_settings.model, m_settings.filePath);
    try {
        if (!m_stream->OpenFirstVolume([this](const VolumeRefusal& refusal) { return PromptForDisk(refusal); })) {
            return End(UpdateOutcome::Cancelled, IDS_ABORTED_BY_INSTRUCTION);
        }
    } catch (const CFileException& e) {
        ReportError(e.GetErrorMessage(m_language));
        return End(UpdateOutcome::FileError, IDS_ABORTED_BY_INSTRUCTION);
    }
    // The first line tells which ROM the file carries; the three lines are tried in order.
    kind = m_stream->DetectKind();
    if (kind == kRomKindUnchecked)
        return End(UpdateOutcome::InvalidRomType, IDS_INVALID_ROM_TYPE);
    m_progress.sections = kind == kRomSub ? 2 : 1;
    m_progress.volume = 1;
    m_progress.volumes = m_stream->KnownVolumes();
    m_progress.total = m_stream->KnownStreamBytes();
    TellProgress();
    return std::nullopt;
}

CUpdateJob::Ended CUpdateJob::OpenTarget()
{
    m_result.step = UpdateStep::OpeningTarget;
    AppendMessage(IDS_DETECTING_TARGET);
    m_link = std::make_unique<CDeviceLink>();
    m_link->SetAbortSignal(m_host.GetAbortSignal());
    m_link->SetObserver(m_host.GetLinkObserver());
    if (m_host.WaitLimit() != 0)
        m_link->LimitWaits(m_host.WaitLimit());
    const bool opened = m_settings.useUsb ? m_link->OpenUsb(m_settings.model.idQuery, m_settings.usbDeviceNumber)
                                          : m_link->OpenTcp(m_settings.ipAddress, m_settings.port);
    if (!opened) {
        return End(UpdateOutcome::TargetNotOpened, IDS_CANNOT_OPEN_TARGET);
    }
    return std::nullopt;
}

// Update start, sync, identification.
CUpdateJob::Ended CUpdateJob::Handshake()
{
    m_result.step = UpdateStep::UpdateStart;
    if (!SendCommand(kUpdateStartCommand, UpdateStep::UpdateStart))
        return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
    m_result.step = UpdateStep::Sync;
    const Ended sync = Exchange(&kSyncByte, 1, kSyncReply, UpdateOutcome::SetupFailure, IDS_SETUP_FAILURE);
    if (sync)
        return sync;
    m_result.step = UpdateStep::Identification;
    if (!SendCommand(kIdentCommand, UpdateStep::Identification))
        return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
    uint8_t reply[kIdentReplyLength] = {};
    if (!ReceiveBytes(reply, kIdentReplyLength) || std::memcmp(reply, kIdentReply, kIdentReplyLength) != 0)
        return End(UpdateOutcome::NoIdentification, IDS_NO_MORVENAL);
    return std::nullopt;
}

// The header's size first, echoed, then the 56 bytes of volume 1.
CUpdateJob::Ended CUpdateJob::SendHeader()
{
    AppendMessage(IDS_SENDING_HEADER);
    m_result.step = UpdateStep::HeaderSize;
    const Ended size = Exchange(&kHeaderSizeByte, 1, kHeaderSizeByte, UpdateOutcome::HeaderSizeFailure,
                                        IDS_HEADER_SIZE_FAILURE);
    if (size)
        return size;
    m_result.step = UpdateStep::Header;
    uint8_t header[kHeaderSize] = {};
    if (!m_stream->ReadHeader(header))
        return End(UpdateOutcome::IncorrectInputFile, IDS_INCORRECT_INPUT_FILE);
    return Exchange(header, kHeaderSize, kAck, UpdateOutcome::HeaderTransferError, IDS_HEADER_TRANSFER_ERROR);
}

UpdateOutcome CUpdateJob::SendRecordSections(uint8_t* block, RomKind kind)
{
    m_progressFormat = LoadStringResource(IDS_SENDING_RECORD, m_language);
    const int sectionsNeeded = kind == kRomSub ? 2 : 1;
    for (int section = 0; section < sectionsNeeded; ++section) {
        m_progress.section = section + 1;
        const Ended outcome = SendSection(block, kind);
        if (outcome)
            return *outcome;
    }
    // Whatever a volume holds behind the last END is never sent: the total was all sent.
    m_progress.finished = true;
    m_progress.total = m_result.bytes;
    TellProgress();
    return End(UpdateOutcome::Completed, IDS_TRANSFER_COMPLETED);
}

CUpdateJob::Ended CUpdateJob::OpenNextVolume(RomKind kind)
{
    try {
        if (m_stream->OpenNextVolume(kind, [this](const VolumeRefusal& refusal) { return PromptForDisk(refusal); })) {
            m_progress.volume = m_stream->Volume();
            m_progress.volumes = std::max(m_progress.volumes, m_stream->KnownVolumes());
            m_progress.total = m_stream->KnownStreamBytes();
            TellProgress();
            return std::nullopt;
        }
        return End(UpdateOutcome::Cancelled, IDS_ABORTED_BY_INSTRUCTION);
    } catch (const CFileException& e) {
        ReportError(e.GetErrorMessage(m_language));
        return End(UpdateOutcome::FileError, IDS_ABORTED_BY_INSTRUCTION);
    }
}

CUpdateJob::Ended CUpdateJob::FlushBlock(uint8_t* block, uint32_t& fill)
{
    if (fill == 0)
        return std::nullopt;
    SendLabel label = Label(UpdateStep::Records, m_blockFirst, m_blockFirst + m_blockRecords - 1, fill);
    label.firstRecordBytes = m_blockFirstBytes;
    label.lastRecordOffset = m_blockLastAt;
    if (!SendBytes(block, label, true))
        return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
    m_result.records += m_blockRecords;
    m_blockRecords = 0;
    fill = 0;
    return std::nullopt;
}

// Record 1 and every 64th after it: what the block holds goes out, the progress line
// shows the record's number, and the instrument must acknowledge.
CUpdateJob::Ended CUpdateJob::AcknowledgeBlock(uint8_t* block, uint32_t& fill, int recordIndex)
{
    const Ended flushed = FlushAfterAck(block, fill);
    if (flushed)
        return flushed;
    char progress[256];
    std::snprintf(progress, sizeof progress, m_progressFormat.c_str(), recordIndex);
    m_log.ReplaceLastLine(progress);
    m_ackPending = true;
    return std::nullopt;
}

// The block's volume is looked at before the wait for the last acknowledgement, so that
// the reply is answered with the next block at once; what the look found is acted on only
// after the reply, so the messages keep their order. Its records were read before the
// look: a volume written over later cannot have changed them.
CUpdateJob::Ended CUpdateJob::FlushAfterAck(uint8_t* block, uint32_t& fill)
{
    const bool changed = fill > 0 && VolumeChanged();
    if (const Ended collected = CollectAck())
        return collected;
    if (changed)
        return End(UpdateOutcome::IncorrectInputFile, IDS_INCORRECT_INPUT_FILE);
    return FlushBlock(block, fill);
}

// The instrument checks a block while the job reads and checks the records behind it, so
// the acknowledgement is read only when the job next needs the link or has something to
// say: before anything else goes out, and before any event other than a good record is
// acted on. What the instrument sees, and the order of every message, stay as if it had
// been read at once.
CUpdateJob::Ended CUpdateJob::CollectAck()
{
    if (!m_ackPending)
        return std::nullopt;
    m_ackPending = false;
    if (!ReceiveAck())
        return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
    ++m_result.blocks;
    m_result.acknowledgedRecords = m_result.records;
    return std::nullopt;
}

// One section: START alone and acknowledged, then the records, acknowledged after record 1
// and after every further 64, then END. In fast mode every record after START goes out
// from the block buffer, so it is read straight to its place there: the 64 MiB of an image
// are not copied twice. At most 64 records of 512 bytes lie between two flushes, which is
// exactly the buffer; the guard only keeps a broken count from overrunning it.
CUpdateJob::Ended CUpdateJob::SendSection(uint8_t* block, RomKind kind)
{
    const bool fast = m_settings.fastMode != 0;
    uint8_t record[kRecordBufferSize] = {};
    uint32_t fill = 0;
    int recordIndex = 0;
    m_ackPending = false;
    m_result.step = UpdateStep::StartRecord;
    for (;;) {
        const bool intoBlock = fast && recordIndex > 0;
        if (intoBlock && fill > kBlockBufferSize - kLongestRecord) {
            const Ended flushed = FlushAfterAck(block, fill);
            if (flushed)
                return flushed;
        }
        uint32_t length = 0;
        RecordEvent event = RecordEvent::Record;
        try {
            event = m_stream->Next(intoBlock ? block + fill : record, length);
        } catch (...) {
            // A read error is told after the acknowledgement, as when it was read at once.
            if (const Ended collected = CollectAck())
                return collected;
            throw;
        }
        if (event != RecordEvent::Record) {
            if (const Ended collected = CollectAck())
                return collected;
        }
        switch (event) {
        case RecordEvent::BadRecord:
            // Nothing more goes out, not even what the block buffer holds.
            return End(UpdateOutcome::IncorrectChecksum, IDS_INCORRECT_CHECKSUM);
        case RecordEvent::NoEndRecord:
            return End(UpdateOutcome::NoEndRecord, IDS_NO_END_RECORD);
        case RecordEvent::VolumeEnded: {
            // The section goes on in volume 2, behind its header; index and block carry over.
            const Ended opened = OpenNextVolume(kind);
            if (opened)
                return opened;
            continue;
        }
        case RecordEvent::End: {
            if (VolumeChanged())
                return End(UpdateOutcome::IncorrectInputFile, IDS_INCORRECT_INPUT_FILE);
            const Ended flushed = FlushBlock(block, fill);
            if (flushed)
                return flushed;
            m_result.step = UpdateStep::EndRecord;
            if (!SendBytes(&kEndByte, Label(UpdateStep::EndRecord, 0, 0, 1), true))
                return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
            return std::nullopt;
        }
        case RecordEvent::Record:
            break;
        }

        // A record counts once it has been written to the link, not when it is read: a
        // block that never went out was never sent.
        if (!intoBlock) {
            if (const Ended collected = CollectAck())
                return collected;
            if (VolumeChanged())
                return End(UpdateOutcome::IncorrectInputFile, IDS_INCORRECT_INPUT_FILE);
            SendLabel label = Label(m_result.step, recordIndex, recordIndex, length);
            label.firstRecordBytes = length;
            if (!SendBytes(record, label, true))
                return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
            ++m_result.records;
        } else {
            if (m_blockRecords == 0) {
                m_blockFirst = static_cast<uint64_t>(recordIndex);
                m_blockFirstBytes = length;
            }
            m_blockLastAt = fill;
            fill += length;
            ++m_blockRecords;
        }

        if (recordIndex == 0) {
            AppendMessage(IDS_SENDING_START);
            if (!ReceiveAck())
                return End(UpdateOutcome::CommunicationError, IDS_COMMUNICATION_ERROR);
            m_result.acknowledgedRecords = m_result.records;
            Sleep(0);
            recordIndex = 1;
            m_result.step = UpdateStep::Records;
            continue;
        }
        if ((recordIndex - 1) % kBlockRecords == 0) {
            const Ended acknowledged = AcknowledgeBlock(block, fill, recordIndex);
            if (acknowledged)
                return acknowledged;
        }
        ++recordIndex;
    }
}

}  // namespace zorflash
