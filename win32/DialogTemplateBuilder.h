#pragma once

#include "resources/ui/DialogTemplate.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// Turns a window layout of resources/ui into the platform's extended dialog template, in
// memory: the same controls, ids, texts and dialog units, in template order (which is the
// tab order). The font is the first family of the template's list that this machine has,
// else the system's own UI font, at the template's point size.
class CDialogTemplateBuilder {
public:
    enum class Frame {
        Child,  // the main form: no caption, a child of the frame
        Modal,  // a modal dialog with a caption and a system menu, centred on its owner
    };

    CDialogTemplateBuilder(const DialogTemplate& layout, Frame frame);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_bytes.data()); }
    const std::wstring& FontFace() const { return m_fontFace; }

    // The first family of a comma-separated list that is installed; the UI font when none is.
    static std::wstring ChooseFontFace(const char* families);

private:
    void Put16(uint16_t value);
    void Put32(uint32_t value);
    void PutText(const std::wstring& text);
    void AlignTo4();
    void PutItem(const DialogItem& item, bool startsGroup);

    std::vector<uint8_t> m_bytes;
    std::wstring m_fontFace;
};

}  // namespace zorflash
