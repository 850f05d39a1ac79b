#include "platform/ConsoleInterrupt.h"

namespace zorflash {

// The first reason wins: a Ctrl+C followed by the terminal closing is still reported as
// the operator's Ctrl+C, the cause the run ends with.
void CConsoleInterrupt::Deliver(Reason reason)
{
    Reason none = Reason::None;
    m_reason.compare_exchange_strong(none, reason);
    m_abort.Trigger();
    if (m_wake)
        m_wake();
}

}  // namespace zorflash
