#pragma once

#include <windows.h>

#include <array>

namespace zorflash {

// The platform's IP address control moves on to the next field by itself after a third
// digit. An operator types the dot all the same ("127.0.0.1"); where the control then
// takes that dot as one more move, or leaves the next field's old digits in place with the
// caret behind them, the address comes out shifted (127.0.0.1 typed over 192.168.0.1 would
// become 127.168.0.1). This watches the control's four edit fields: after such an automatic
// move the new field's text is selected, so typing replaces it, and a '.' or blank typed
// right then is dropped. The address typed is the address used, whichever system's control
// is underneath.
class CIpAddressFields {
public:
    CIpAddressFields() = default;
    CIpAddressFields(const CIpAddressFields&) = delete;
    CIpAddressFields& operator=(const CIpAddressFields&) = delete;
    ~CIpAddressFields();

    // control: a "SysIPAddress32" window. False when it does not have four fields.
    bool Attach(HWND control);

private:
    static LRESULT CALLBACK FieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);
    LRESULT OnFieldMessage(HWND field, UINT message, WPARAM wParam, LPARAM lParam);
    int IndexOf(HWND field) const;

    std::array<HWND, 4> m_fields{};
    // The field the control has just moved into by itself; -1 when no such move is fresh.
    int m_autoEntered = -1;
};

}  // namespace zorflash
