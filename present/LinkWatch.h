#pragma once

#include "link/LinkObserver.h"
#include "update/SendLabel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// What a front end keeps of a run's link: the open's outcome, the USB search, the last
// write with what it held, what arrived after it and the failure that ended it. From these
// both front ends say why a run failed in the operator's terms.
// No lock: every call comes from the update's thread, and both readers read only once
// that run has ended, ordered by a mechanism of their own: the desktop joins the worker
// on its finished message before it reads (and resets between runs before starting the
// next), the CLI reads once the runner's atomic state for the target reads Finished.
class CLinkWatch : public CLinkObserver {
public:
    void OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at) override;
    void OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at) override;
    void OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at) override;
    void OnUsbSearch(const std::vector<UsbInstrument>& asked) override;
    // What the engine's next write carries (told just before it goes out).
    void OnSend(const SendLabel& label) { m_label = label; }

    bool OpenSeen() const { return m_openSeen; }
    // A link to the instrument was opened: the JSON result's "contacted".
    bool Opened() const { return m_openSeen && m_openError == 0; }
    // What the run's own USB search asked, in order (empty over TCP/IP).
    const std::vector<UsbInstrument>& UsbSearch() const { return m_usbSearch; }
    uint32_t OpenError() const { return m_openError; }
    double OpenSeconds() const { return m_openSeconds; }
    bool FailureSeen() const { return m_failureSeen; }
    Direction FailureDirection() const { return m_failureDirection; }
    uint32_t FailureCode() const { return m_failureCode; }
    double FailureWaitedSeconds() const { return m_failureWaited; }
    // What the last write carried, as a value a reason words in either language; null
    // before the first.
    const SendLabel* LastLabel() const { return m_written ? &m_label : nullptr; }
    // The reply the last write was waiting for, in the protocol's words.
    std::string ExpectedReply() const { return m_label.ExpectedReply(); }
    // What arrived after the last write, shown as hex and text; empty if nothing did.
    const std::vector<uint8_t>& ReceivedAfterLastWrite() const { return m_received; }

private:
    bool m_openSeen = false;
    uint32_t m_openError = 0;
    double m_openSeconds = 0;
    std::vector<UsbInstrument> m_usbSearch;
    // The job ends its run at the first send or receive that fails, so the failure kept
    // is the one that broke the exchange.
    bool m_failureSeen = false;
    Direction m_failureDirection = Direction::Received;
    uint32_t m_failureCode = 0;
    double m_failureWaited = 0;
    SendLabel m_label;          // what the engine's last write carried
    bool m_written = false;     // a write has gone out since the link opened
    std::vector<uint8_t> m_received;   // at most 64 bytes
};

}  // namespace zorflash
