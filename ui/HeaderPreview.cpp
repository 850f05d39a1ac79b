#include "ui/HeaderPreview.h"

#include "platform/File.h"
#include "update/UpdateFileReader.h"

namespace zorflash {

std::string ReadHeaderPreview(CFile& file)
{
    std::string preview;
    char line[kHeaderLineBufferSize] = {};
    for (int i = 0; i < kHeaderPreviewLines; ++i) {
        ReadHeaderLine(file, line);
        line[kHeaderLineBufferSize - 1] = '\0';  // the reader's NUL, guaranteed
        preview += line;
    }
    return preview;
}

std::string FormatHeaderPreview(const std::string& preview)
{
    static const char kPlaceholder[] = "\xC2\xB7";  // U+00B7 MIDDLE DOT
    std::string shown;
    shown.reserve(preview.size());
    for (size_t i = 0; i < preview.size(); ++i) {
        const auto c = static_cast<unsigned char>(preview[i]);
        if (c == '\r' && i + 1 < preview.size() && preview[i + 1] == '\n') {
            shown += '\n';
            ++i;
        } else if ((c >= 0x20 && c < 0x7F) || c == '\t') {
            shown += static_cast<char>(c);
        } else {
            shown += kPlaceholder;
        }
    }
    return shown;
}

}  // namespace zorflash
