#pragma once

#include "link/ByteChannel.h"
#include "link/UsbInstrument.h"
#include "usb/UsbCandidates.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zorflash {

class CAbortSignal;

// The byte channel to an instrument over USB, on the VavUZIz_* device
// layer of usb/. Open finds the instrument by its answer to the model's identification
// query. Transfers answer 0 or the layer's error code (258 for a time-out, kErrorCancelled
// when the abort signal is triggered, the platform's error code otherwise) and set the in/out length
// to 0 after an error.
class CUsbChannel : public CByteChannel {
public:
    static constexpr uint32_t kErrorNoInstrument = 0x20000001;  // no (further) instrument to open
    static constexpr uint32_t kErrorNoReply = 0x20000002;       // reading the reply failed
    static constexpr uint32_t kErrorQueryNotSent = 0x20000003;  // sending the query failed
    // The whole identification of one instrument: query sent and reply line read. A real
    // instrument answers within milliseconds; a search over N instruments ends within N
    // times this.
    static constexpr uint32_t kIdTimeoutMs = 2000;
    static constexpr size_t kMaxQueryLength = 61;   // query, CR, LF and a NUL fill 64 bytes
    static constexpr size_t kReplyLineSize = 256;   // reply line, NUL included
    static constexpr size_t kMaxInstruments = 128;  // handle table of one search

    CUsbChannel();
    ~CUsbChannel() override;
    CUsbChannel(const CUsbChannel&) = delete;
    CUsbChannel& operator=(const CUsbChannel&) = delete;

    // Borrowed, not copied: the text must outlive the channel (a model table text).
    void SetIdQuery(const char* idQuery) { m_idQuery = idQuery; }
    // Opens the attached instruments one after another and keeps the first whose reply
    // carries deviceNumber; the others are closed again. False with 0x20000001..3 in the
    // last-error value, every instrument it opened closed. A channel that already holds
    // an instrument closes it first. SearchReport() then holds what each instrument asked
    // answered, in order, and SkippedCandidates() each one the search could not open.
    bool Open(int32_t deviceNumber);
    const std::vector<UsbInstrument>& SearchReport() const { return m_report; }
    const std::vector<SkippedUsbCandidate>& SkippedCandidates() const { return m_skipped; }
    void Close() override;

    uint32_t Send(const uint8_t* data, uint32_t& length, uint32_t timeout) override;
    uint32_t SendExact(const uint8_t* data, uint32_t& length, uint32_t timeout);
    uint32_t Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout) override;
    // One line up to LF or NUL, CR dropped, NUL-terminated. length: in the capacity (at
    // least 1), out the characters stored; 0 with success when the line did not fit.
    // timeout bounds the wait for each byte, deadline the whole line.
    uint32_t ReadLine(char* buffer, uint32_t& length, uint32_t timeout,
                      std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());

    // Borrowed; null means no interruption. Reaches every read and write of the layer.
    void SetAbortSignal(CAbortSignal* signal) override;
    // Lowers the identification deadline (the operator's --timeout); never raises it.
    void LimitIdentification(uint32_t milliseconds) { m_idTimeoutMs = std::min(m_idTimeoutMs, milliseconds); }
    int Handle() const { return m_handle; }

    // The device number of a reply line: the decimal number from index 8 on (white space
    // skipped, optional sign, no digits = 0). False when the line is shorter than nine
    // characters: it carries no number and matches no wanted number.
    static bool ParseDeviceNumber(const char* reply, int32_t& number);

    // Opens every candidate instrument in turn, asks each for its identification and
    // closes them all again. Empty when none is attached; skipped (may be null) receives
    // the candidates that could not be opened, with the reason that search met.
    static std::vector<UsbInstrument> Probe(const char* idQuery, CAbortSignal* abort = nullptr,
                                            std::vector<SkippedUsbCandidate>* skipped = nullptr);

private:
    // What the identification search does with the instrument it has just asked.
    enum class SearchStep { Keep, Next, Stop };
    using SearchVisitor = std::function<SearchStep(const UsbInstrument&)>;

    // The identification search of Open and Probe: walks the candidate list (at most
    // kMaxInstruments instruments, one device under two names once), asks each for its
    // identification and hands what it learnt to visit; each instrument not kept is closed
    // as soon as it has answered. Searches of other threads run at the same time: a
    // device one of them is asking is waited for (at most one identification), one kept
    // by another update is passed over. Answers the handle kept, -1 for none.
    static int Search(const char* idQuery, CAbortSignal* abort, uint32_t idTimeoutMs, const SearchVisitor& visit,
                      std::vector<SkippedUsbCandidate>* skipped);
    // Sends the query line on m_handle and reads the reply line; 0 or 0x20000002/3.
    uint32_t Identify(char (&reply)[kReplyLineSize]);

    int m_handle = -1;
    const char* m_idQuery = nullptr;
    CAbortSignal* m_abort = nullptr;
    uint32_t m_idTimeoutMs = kIdTimeoutMs;
    std::vector<UsbInstrument> m_report;  // what the last Open's search saw
    std::vector<SkippedUsbCandidate> m_skipped;
};

}  // namespace zorflash
