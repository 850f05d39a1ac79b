#include "link/UsbChannel.h"

#include "link/DeviceClaim.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"
#include "usb/UsbCandidates.h"
#include "usb/Vavuziz.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

namespace zorflash {

namespace {

// A library call that reports success without moving a byte cannot make progress; a
// line read or an exact send ends with this instead of looping.
constexpr uint32_t kErrorNothingMoved = kErrorDeviceGone;

// How much longer than one identification a search waits for a device another search
// is asking: that search's open and close of the device besides.
constexpr auto kClaimSlack = std::chrono::milliseconds(1000);

uint32_t MsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

}  // namespace

CUsbChannel::CUsbChannel() = default;

// Closes an instrument still held: a handle left open would keep the device from the
// next search of this process.
CUsbChannel::~CUsbChannel()
{
    Close();
}

void CUsbChannel::SetAbortSignal(CAbortSignal* signal)
{
    m_abort = signal;
    if (m_handle != -1)
        VavUZIz_SetAbortSignal(m_handle, m_abort);
}

bool CUsbChannel::ParseDeviceNumber(const char* reply, int32_t& number)
{
    if (!reply || strnlen(reply, 9) < 9)
        return false;
    const long value = std::strtol(reply + 8, nullptr, 10);
    number = static_cast<int32_t>(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
    return true;
}

uint32_t CUsbChannel::Identify(char (&reply)[kReplyLineSize])
{
    // One deadline for the query and its whole reply: an instrument that trickles its
    // line a byte at a time must not hold the search for longer than a silent one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_idTimeoutMs);
    char query[kMaxQueryLength + 3];
    const size_t queryLength = std::strlen(m_idQuery);
    std::memcpy(query, m_idQuery, queryLength);
    std::memcpy(query + queryLength, "\r\n", 2);
    uint32_t length = static_cast<uint32_t>(queryLength + 2);
    if (SendExact(reinterpret_cast<const uint8_t*>(query), length, m_idTimeoutMs) != 0)
        return kErrorQueryNotSent;
    length = kReplyLineSize;
    if (ReadLine(reply, length, m_idTimeoutMs, deadline) != 0)
        return kErrorNoReply;
    return kErrorSuccess;
}

int CUsbChannel::Search(const char* idQuery, CAbortSignal* abort, uint32_t idTimeoutMs, const SearchVisitor& visit)
{
    CUsbChannel asker;
    asker.SetIdQuery(idQuery);
    asker.m_abort = abort;
    asker.m_idTimeoutMs = idTimeoutMs;
    std::set<std::string> seen;           // one device under two names is asked once
    std::vector<std::string> later;       // devices another search was asking: tried last
    std::vector<std::string> laterKeys;   // their device keys, in the same order
    size_t asked = 0;
    int kept = -1;
    // Asks the device at path; false when the search has ended (kept, stopped, or the
    // most instruments one search asks).
    const auto ask = [&](const std::string& path, const CDeviceClaim& claim) {
        if (!claim.Held())
            return true;
        // Not there, no character device, or held: by another update of this process
        // (its instrument), or locked by another process.
        const int handle = VavUZIz_OpenDevicePath(path.c_str());
        if (handle == -1)
            return true;
        ++asked;
        if (abort)
            VavUZIz_SetAbortSignal(handle, abort);
        UsbInstrument instrument;
        instrument.path = path;
        char reply[kReplyLineSize] = {};
        asker.m_handle = handle;
        instrument.error = asker.Identify(reply);
        asker.m_handle = -1;
        instrument.reply = reply;
        // A reply too short to carry a number matches no wanted number.
        if (instrument.error == kErrorSuccess)
            instrument.hasNumber = ParseDeviceNumber(reply, instrument.deviceNumber);
        const SearchStep step = visit(instrument);
        if (step == SearchStep::Keep) {
            kept = handle;
            return false;
        }
        VavUZIz_CloseDevice(handle);
        return step != SearchStep::Stop && asked < kMaxInstruments;
    };
    const auto now = [] { return std::chrono::steady_clock::now(); };
    bool going = true;
    for (const std::string& path : UsbCandidatePaths()) {
        if (!going || (abort && abort->IsTriggered()))
            break;
        std::string key = UsbDeviceKey(path);
        if (!seen.insert(key).second)
            continue;
        const CDeviceClaim claim(key, abort, now());
        if (!claim.Held()) {
            later.push_back(path);
            laterKeys.push_back(std::move(key));
        } else {
            going = ask(path, claim);
        }
    }
    // A device another search is asking is busy for one identification at most: waited
    // for only when this search has found its instrument nowhere else, and then whichever
    // is given back first is asked first. Taken in list order, a device held for a silent
    // one's whole bound would keep this search from one freed meanwhile, and asking the
    // silent one in turn would end the search before it got there.
    while (going && !later.empty() && !(abort && abort->IsTriggered())) {
        const CDeviceClaim claim(laterKeys, abort, now() + std::chrono::milliseconds(idTimeoutMs) + kClaimSlack);
        if (!claim.Held())
            break;
        const auto at = std::find(laterKeys.begin(), laterKeys.end(), claim.Key()) - laterKeys.begin();
        const std::string path = later[static_cast<size_t>(at)];
        later.erase(later.begin() + at);
        laterKeys.erase(laterKeys.begin() + at);
        going = ask(path, claim);
    }
    return kept;
}

bool CUsbChannel::Open(int32_t deviceNumber)
{
    Close();
    m_report.clear();
    // The query line holds the query, CR, LF and a NUL in 64 bytes.
    if (!m_idQuery || std::strlen(m_idQuery) > kMaxQueryLength) {
        SetLastError(kErrorQueryNotSent);
        return false;
    }
    uint32_t error = kErrorNoInstrument;
    m_report.clear();
    m_handle = Search(m_idQuery, m_abort, m_idTimeoutMs, [&](const UsbInstrument& instrument) {
        m_report.push_back(instrument);
        if (instrument.error != kErrorSuccess) {
            error = instrument.error;
            return SearchStep::Stop;
        }
        if (instrument.hasNumber && instrument.deviceNumber == deviceNumber)
            return SearchStep::Keep;
        return SearchStep::Next;
    });
    SetLastError(m_handle != -1 ? kErrorSuccess : error);
    return m_handle != -1;
}

void CUsbChannel::Close()
{
    if (m_handle != -1) {
        VavUZIz_CloseDevice(m_handle);
        m_handle = -1;
    }
}

uint32_t CUsbChannel::Send(const uint8_t* data, uint32_t& length, uint32_t timeout)
{
    if (m_abort && m_abort->IsTriggered()) {
        length = 0;
        SetLastError(kErrorCancelled);
        return kErrorCancelled;
    }
    uint32_t written = 0;
    if (!VavUZIz_WriteDevice(m_handle, data, length, &written, timeout)) {
        const uint32_t error = GetLastError();
        if (error != 0) {
            length = 0;
            return error;
        }
    }
    length = written;
    return kErrorSuccess;
}

uint32_t CUsbChannel::Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    if (m_abort && m_abort->IsTriggered()) {
        length = 0;
        SetLastError(kErrorCancelled);
        return kErrorCancelled;
    }
    uint32_t read = 0;
    if (!VavUZIz_ReadDevice(m_handle, buffer, length, &read, timeout)) {
        const uint32_t error = GetLastError();
        if (error != 0) {
            length = 0;
            return error;
        }
    }
    length = read;
    return kErrorSuccess;
}

uint32_t CUsbChannel::SendExact(const uint8_t* data, uint32_t& length, uint32_t timeout)
{
    uint32_t sent = 0;
    uint32_t result = kErrorSuccess;
    while (sent < length) {
        uint32_t piece = length - sent;
        result = Send(data + sent, piece, timeout);
        if (result != kErrorSuccess)
            break;
        if (piece == 0) {
            result = kErrorNothingMoved;
            SetLastError(result);
            break;
        }
        sent += piece;
    }
    length = sent;
    return result;
}

uint32_t CUsbChannel::ReadLine(char* buffer, uint32_t& length, uint32_t timeout,
                               std::chrono::steady_clock::time_point deadline)
{
    if (length == 0) {
        SetLastError(kErrorInvalidParameter);
        return kErrorInvalidParameter;
    }
    const uint32_t capacity = length;
    uint32_t stored = 0;
    for (;;) {
        uint8_t byte = 0;
        uint32_t got = 1;
        const bool whole = deadline != std::chrono::steady_clock::time_point::max();
        const uint32_t left = whole ? std::min(timeout, MsLeft(deadline)) : timeout;
        uint32_t result = left > 0 ? Receive(&byte, got, left) : kErrorTimeout;
        if (result == kErrorTimeout && left == 0) {
            got = 0;
            SetLastError(result);
        }
        if (result == kErrorSuccess && got == 0) {
            result = kErrorNothingMoved;
            SetLastError(result);
        }
        if (result != kErrorSuccess) {
            // Terminated all the same, so that what came can be shown safely.
            buffer[stored] = '\0';
            length = stored;
            return result;
        }
        if (byte == '\0' || byte == '\n') {
            buffer[stored] = '\0';
            length = stored;
            return kErrorSuccess;
        }
        if (byte == '\r')
            continue;
        // A line that does not fit comes back cut, with length 0; its rest stays unread.
        if (stored == capacity - 1) {
            buffer[stored] = '\0';
            length = 0;
            return kErrorSuccess;
        }
        buffer[stored++] = static_cast<char>(byte);
    }
}

std::vector<UsbInstrument> CUsbChannel::Probe(const char* idQuery, CAbortSignal* abort)
{
    std::vector<UsbInstrument> found;
    if (!idQuery || std::strlen(idQuery) > kMaxQueryLength) {
        SetLastError(kErrorQueryNotSent);
        return found;
    }
    Search(idQuery, abort, kIdTimeoutMs, [&](const UsbInstrument& instrument) {
        found.push_back(instrument);
        return SearchStep::Next;
    });
    SetLastError(kErrorSuccess);
    return found;
}

}  // namespace zorflash
