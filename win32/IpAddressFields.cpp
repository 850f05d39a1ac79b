#include "win32/IpAddressFields.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace zorflash {

namespace {
constexpr UINT_PTR kSubclassId = 1012;

BOOL CALLBACK CollectField(HWND child, LPARAM list)
{
    auto& found = *reinterpret_cast<std::vector<HWND>*>(list);
    found.push_back(child);
    return TRUE;
}

bool IsSeparator(WPARAM ch)
{
    return ch == L'.' || ch == L' ';
}
}  // namespace

CIpAddressFields::~CIpAddressFields()
{
    for (HWND field : m_fields) {
        if (field && IsWindow(field))
            RemoveWindowSubclass(field, FieldProc, kSubclassId);
    }
}

bool CIpAddressFields::Attach(HWND control)
{
    std::vector<HWND> found;
    EnumChildWindows(control, CollectField, reinterpret_cast<LPARAM>(&found));
    if (found.size() != 4)
        return false;
    // The fields in the order the operator sees them, left to right.
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    for (size_t i = 0; i < 4; ++i) {
        m_fields[i] = found[i];
        SetWindowSubclass(found[i], FieldProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
    return true;
}

int CIpAddressFields::IndexOf(HWND field) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] == field)
            return static_cast<int>(i);
    }
    return -1;
}

LRESULT CALLBACK CIpAddressFields::FieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self)
{
    return reinterpret_cast<CIpAddressFields*>(self)->OnFieldMessage(field, message, wParam, lParam);
}

LRESULT CIpAddressFields::OnFieldMessage(HWND field, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int index = IndexOf(field);
    switch (message) {
    case WM_CHAR:
        if (IsSeparator(wParam) && index == m_autoEntered) {
            // The operator's own dot after the third digit: the control has moved already.
            m_autoEntered = -1;
            return 0;
        }
        m_autoEntered = -1;
        if (wParam >= L'0' && wParam <= L'9') {
            const LRESULT result = DefSubclassProc(field, message, wParam, lParam);
            const int now = IndexOf(GetFocus());
            if (now > index) {
                m_autoEntered = now;
                // Entered by itself, the next field takes what is typed next in place of
                // what it held, as it does when the operator moves there with a dot;
                // otherwise its digits would stay and the typed ones go nowhere.
                SendMessageW(m_fields[static_cast<size_t>(now)], EM_SETSEL, 0, -1);
            }
            return result;
        }
        break;
    case WM_KEYDOWN:
        // The key that makes the separator's character comes first and must not spoil it;
        // any other key (an arrow, Home, Backspace) is the operator moving on their own.
        if (wParam != VK_OEM_PERIOD && wParam != VK_DECIMAL && wParam != VK_SPACE && wParam != VK_SHIFT)
            m_autoEntered = -1;
        break;
    case WM_LBUTTONDOWN:
        m_autoEntered = -1;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(field, FieldProc, kSubclassId);
        if (index >= 0)
            m_fields[static_cast<size_t>(index)] = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(field, message, wParam, lParam);
}

}  // namespace zorflash
