#include "update/UpdateJob.h"

#include "link/DeviceLink.h"
#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/LastError.h"
#include "platform/MemoryException.h"
#include "platform/Sleep.h"
#include "platform/StringResource.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateHost.h"
#include "update/UpdateProtocol.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

using namespace UpdateProtocol;

CUpdateJob::CUpdateJob() = default;
CUpdateJob::~CUpdateJob() = default;

void CUpdateJob::AppendStatus(const std::string& text)
{
    const int n = m_pView->StatusGetTextLength();
    m_pView->StatusSetSel(n, n);
    m_pView->StatusScrollCaret();
    m_pView->StatusReplaceSel(text);
}

void CUpdateJob::ReplaceStatusLine(const std::string& text)
{
    const int n = m_pView->StatusGetTextLength();
    const int line = m_pView->StatusLineFromChar(n);
    const int start = m_pView->StatusLineIndex(line);
    m_pView->StatusSetSel(start, n);
    m_pView->StatusScrollCaret();
    m_pView->StatusReplaceSel(text);
}

void CUpdateJob::AppendMessage(unsigned id)
{
    AppendStatus(LoadStringResource(id));
}

void CUpdateJob::AppendFailure(unsigned id)
{
    AppendStatus("\r\n" + LoadStringResource(id));
}

void CUpdateJob::ReadHeaderLine(CFile& file, char* buffer)
{
    ::ReadHeaderLine(file, buffer);
}

int CUpdateJob::ReadRecord(CFile& file, uint8_t* buffer)
{
    return ::ReadRecord(file, buffer);
}

int CUpdateJob::OpenVolume(CFile& file, int volume, std::string fileName, int kind)
{
    std::string volumeName;
    MakeVolumeFileName(volume, fileName, volumeName);
    try {
        for (;;) {
            const bool opened = file.Open(volumeName);
            if (!opened && GetLastError() != ENOENT)
                m_pView->NoteVolumeUnavailable(volumeName, GetLastError());
            if (opened) {
                // A file too short to hold the two digits is simply the wrong volume.
                char digits[3] = {};
                file.Seek(kVolumeNumberOffset);
                if (file.Read(digits, 2) == 2 && ParseDecimal(digits) == volume) {
                    if (kind < 0)
                        return 0;
                    char line[kHeaderLineBufferSize] = {};
                    file.Seek(0);
                    ReadHeaderLine(file, line);
                    const char* expected = HeaderLineOf(m_pView->Settings().model, static_cast<RomKind>(kind));
                    if (expected && std::strcmp(line, expected) == 0)
                        return 0;
                }
                file.Close();
            }
            if (!m_pView->PromptOkCancel(FormatStringResource(IDS_INSERT_DISK, volume)))
                return -1;
        }
    } catch (const CFileException& e) {
        m_pView->ReportError(e.GetErrorMessage());
        return -1;
    }
}

bool CUpdateJob::SendBytes(CDeviceLink& link, const uint8_t* data, uint32_t length, bool recordStream)
{
    uint32_t sent = length;
    if (link.Send(data, sent, m_timeout) != 0)
        return false;
    if (recordStream)
        m_pView->OnRecordStreamWrite(length);
    return true;
}

bool CUpdateJob::VolumeChanged(const CFile& file)
{
    // Checked before every part of the record stream leaves: a volume written over during
    // the transfer would give the instrument an image that is neither version, and the END
    // that follows would make it accept that image.
    if (file.Unchanged())
        return false;
    AppendFailure(IDS_INCORRECT_INPUT_FILE);
    return true;
}

bool CUpdateJob::ReceiveBytes(CDeviceLink& link, uint8_t* buffer, uint32_t length)
{
    uint32_t received = length;
    return link.ReceiveExact(buffer, received, m_timeout) == 0;
}

bool CUpdateJob::ReceiveAck(CDeviceLink& link)
{
    uint8_t reply = 0;
    return ReceiveBytes(link, &reply, 1) && reply == kAck;
}

void CUpdateJob::Run()
{
    m_timeout = m_pView->TransferTimeout();
    std::unique_ptr<uint8_t[]> block;
    std::unique_ptr<CFile> file;
    std::unique_ptr<CDeviceLink> link;
    try {
        // One byte beyond the block: records are read straight into it, and the reader
        // puts a NUL behind each one.
        block.reset(new (std::nothrow) uint8_t[kBlockBufferSize + 1]);
        if (!block)
            throw CMemoryException();
        RunSteps(block.get(), file, link);
    } catch (const CFileException& e) {
        m_pView->ReportError(e.GetErrorMessage());
    } catch (const CMemoryException& e) {
        m_pView->ReportError(e.GetErrorMessage());
    } catch (const std::bad_alloc&) {
        m_pView->ReportError(CMemoryException().GetErrorMessage());
    }
    // The same clean-up on every exit, in this order: link, file, block buffer.
    if (link) {
        link->Close();
        link.reset();
    }
    if (file) {
        file->Close();
        file.reset();
    }
    block.reset();
}

void CUpdateJob::RunSteps(uint8_t* block, std::unique_ptr<CFile>& file, std::unique_ptr<CDeviceLink>& link)
{
    const UpdateSettings& settings = m_pView->Settings();
    uint8_t record[kRecordBufferSize] = {};

    AppendMessage(IDS_OPENING_FILE);
    file = std::make_unique<CFile>();
    if (OpenVolume(*file, 1, settings.filePath, kRomKindUnchecked) != 0) {
        AppendMessage(IDS_ABORTED_BY_INSTRUCTION);
        return;
    }

    // The first line tells which ROM the file carries; the three lines are tried in order.
    char line[kHeaderLineBufferSize] = {};
    file->Seek(0);
    ReadHeaderLine(*file, line);
    const int kind = DetectRomKind(settings.model, line);
    if (kind < 0) {
        AppendFailure(IDS_INVALID_ROM_TYPE);
        return;
    }

    AppendMessage(IDS_DETECTING_TARGET);
    link = std::make_unique<CDeviceLink>(settings.useUsb != 0);
    link->SetAbortSignal(m_pView->GetAbortSignal());
    if (m_pView->WaitLimit() != 0)
        link->LimitWaits(m_pView->WaitLimit());
    const bool opened = settings.useUsb ? link->OpenUsb(settings.model.idQuery, settings.usbDeviceNumber)
                                        : link->OpenTcp(settings.ipAddress, settings.port);
    if (!opened) {
        AppendMessage(IDS_CANNOT_OPEN_TARGET);
        return;
    }

    // Handshake: update start, sync, identification.
    if (link->SendCommand(kUpdateStartCommand) != 0) {
        AppendFailure(IDS_COMMUNICATION_ERROR);
        return;
    }
    uint8_t reply = 0;
    if (!SendBytes(*link, &kSyncByte, 1, false) || !ReceiveBytes(*link, &reply, 1)) {
        AppendFailure(IDS_COMMUNICATION_ERROR);
        return;
    }
    if (reply != kSyncReply) {
        AppendFailure(IDS_SETUP_FAILURE);
        return;
    }
    if (link->SendCommand(kIdentCommand) != 0) {
        AppendFailure(IDS_COMMUNICATION_ERROR);
        return;
    }
    if (!ReceiveBytes(*link, record, kIdentReplyLength) ||
        std::memcmp(record, kIdentReply, kIdentReplyLength) != 0) {
        AppendFailure(IDS_NO_MORVENAL);
        return;
    }

    // Header: its size first, echoed, then the 56 bytes of volume 1.
    AppendMessage(IDS_SENDING_HEADER);
    if (!SendBytes(*link, &kHeaderSizeByte, 1, false) || !ReceiveBytes(*link, &reply, 1)) {
        AppendFailure(IDS_COMMUNICATION_ERROR);
        return;
    }
    if (reply != kHeaderSizeByte) {
        AppendFailure(IDS_HEADER_SIZE_FAILURE);
        return;
    }
    file->Seek(0);
    if (file->Read(record, kHeaderSize) != static_cast<uint32_t>(kHeaderSize)) {
        AppendFailure(IDS_INCORRECT_INPUT_FILE);
        return;
    }
    if (!SendBytes(*link, record, kHeaderSize, false) || !ReceiveBytes(*link, &reply, 1)) {
        AppendFailure(IDS_COMMUNICATION_ERROR);
        return;
    }
    if (reply != kAck) {
        AppendFailure(IDS_HEADER_TRANSFER_ERROR);
        return;
    }

    switch (SendRecordSections(*file, *link, block, kind)) {
    case Outcome::Completed:
        AppendMessage(IDS_TRANSFER_COMPLETED);
        break;
    case Outcome::CommunicationError:
        AppendFailure(IDS_COMMUNICATION_ERROR);
        break;
    case Outcome::Ended:
        break;
    }
}

namespace {
constexpr uint32_t kLongestRecord = kRecordBufferSize - 1;  // N = 255: 512 bytes
}  // namespace

CUpdateJob::Outcome CUpdateJob::SendRecordSections(CFile& file, CDeviceLink& link, uint8_t* block, int kind)
{
    const UpdateSettings& settings = m_pView->Settings();
    const bool fast = settings.fastMode != 0;
    // The progress format is loaded once per run; each block only formats its number.
    const std::string progressFormat = LoadStringResource(IDS_SENDING_RECORD);
    char progress[256];
    const int sectionsNeeded = kind == kRomSub ? 2 : 1;
    int sectionsDone = 0;
    int volume = 1;
    uint32_t fill = 0;
    uint8_t record[kRecordBufferSize] = {};

    while (sectionsDone < sectionsNeeded) {
        int recordIndex = 0;
        for (;;) {
            // In fast mode every record after START goes out from the block buffer, so it is
            // read straight to its place there: the 64 MiB of an image are not copied twice.
            // At most 64 records of 512 bytes lie between two flushes, which is exactly the
            // buffer; the guard only keeps a broken count from overrunning it.
            const bool intoBlock = fast && recordIndex > 0;
            if (intoBlock && fill > kBlockBufferSize - kLongestRecord) {
                if (VolumeChanged(file))
                    return Outcome::Ended;
                if (!SendBytes(link, block, fill, true))
                    return Outcome::CommunicationError;
                fill = 0;
            }
            const int length = ReadRecord(file, intoBlock ? block + fill : record);
            if (length == -2) {
                // Nothing more goes out, not even what the block buffer holds.
                AppendFailure(IDS_INCORRECT_CHECKSUM);
                return Outcome::Ended;
            }
            if (length == -1) {
                if (volume == 2) {
                    AppendFailure(IDS_NO_END_RECORD);
                    return Outcome::Ended;
                }
                // The section goes on in volume 2, behind its header; index and block carry over.
                file.Close();
                volume = 2;
                if (OpenVolume(file, 2, settings.filePath, kind) != 0) {
                    AppendMessage(IDS_ABORTED_BY_INSTRUCTION);
                    return Outcome::Ended;
                }
                file.Seek(kFirstRecordOffset);
                continue;
            }
            if (length == 0) {
                if (VolumeChanged(file))
                    return Outcome::Ended;
                if (fast && fill > 0) {
                    if (!SendBytes(link, block, fill, true))
                        return Outcome::CommunicationError;
                    fill = 0;
                }
                if (!SendBytes(link, &kEndByte, 1, true))
                    return Outcome::CommunicationError;
                ++sectionsDone;
                break;
            }

            const uint32_t size = static_cast<uint32_t>(length);
            if (!fast || recordIndex == 0) {
                if (VolumeChanged(file))
                    return Outcome::Ended;
                if (!SendBytes(link, record, size, true))
                    return Outcome::CommunicationError;
            } else {
                fill += size;
            }

            if (recordIndex == 0) {
                AppendMessage(IDS_SENDING_START);
                if (!ReceiveAck(link))
                    return Outcome::CommunicationError;
                Sleep(0);
                recordIndex = 1;
                continue;
            }
            if ((recordIndex - 1) % kBlockRecords == 0) {
                if (fast && fill > 0) {
                    if (VolumeChanged(file))
                        return Outcome::Ended;
                    if (!SendBytes(link, block, fill, true))
                        return Outcome::CommunicationError;
                    fill = 0;
                }
                std::snprintf(progress, sizeof progress, progressFormat.c_str(), recordIndex);
                ReplaceStatusLine(progress);
                if (!ReceiveAck(link))
                    return Outcome::CommunicationError;
            }
            ++recordIndex;
        }
    }
    return Outcome::Completed;
}
