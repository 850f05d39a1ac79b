#include "ui/HeaderPreview.h"

#include "platform/File.h"
#include "update/UpdateFileReader.h"

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
