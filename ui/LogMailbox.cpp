#include "ui/LogMailbox.h"

namespace zorflash {

bool CLogMailbox::Put(const std::string& text, int caret)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_text = text;
    m_caret = caret;
    const bool wake = !m_waiting;
    m_waiting = true;
    return wake;
}

bool CLogMailbox::Take(std::string& text, int& caret)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_waiting)
        return false;
    text.swap(m_text);
    caret = m_caret;
    m_waiting = false;
    return true;
}

}  // namespace zorflash
