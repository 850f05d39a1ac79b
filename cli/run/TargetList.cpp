#include "cli/run/TargetList.h"

#include "cli/run/TargetAddress.h"
#include "platform/BoundedRead.h"
#include "platform/LastError.h"
#include "present/DisplayTexts.h"
#include "present/ProgressLine.h"

#include <algorithm>
#include <charconv>

namespace zorflash {

namespace {

using Id = CDisplayTexts::Id;

// A targets file is a short list typed by a person; anything larger is the wrong file.
constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kMaxLineLength = 256;
const std::string kByteOrderMark = "\xEF\xBB\xBF";

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool ParseUsbNumber(const std::string& text, int32_t& number)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, number);
    return !text.empty() && ec == std::errc() && ptr == end && number >= 0;
}

} // namespace

std::string FleetTarget::Name() const
{
    if (kind == Kind::Usb)
        return "usb:" + std::to_string(usbNumber);
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "."
           + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF) + ":"
           + std::to_string(port);
}

bool CTargetList::AddTcp(const std::string& text, std::string& error)
{
    std::vector<std::pair<uint32_t, int32_t>> range;
    if (!ParseTargetRange(text, kMaxTargets, range, error, m_language))
        return false;
    for (const auto& [address, port] : range) {
        FleetTarget target;
        target.address = address;
        target.port = port;
        if (!Add(target, error))
            return false;
    }
    return true;
}

bool CTargetList::AddUsbNumbers(const std::string& text, std::string& error)
{
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        FleetTarget target;
        target.kind = FleetTarget::Kind::Usb;
        if (!ParseUsbNumber(text.substr(begin, comma - begin), target.usbNumber)) {
            error = CDisplayTexts::Format(Id::TargetUsbNumbers, m_language, {text});
            return false;
        }
        if (!Add(target, error))
            return false;
        if (comma == std::string::npos)
            return true;
        begin = comma + 1;
    }
}

bool CTargetList::AddFile(const std::string& path, std::string& error, uint32_t timeoutMs)
{
    std::string text;
    const uint32_t result = ReadFileWithin(path, kMaxFileBytes, timeoutMs, text);
    if (result == kErrorTimeout) {
        error = CDisplayTexts::Format(Id::TargetFileTimeout, m_language,
                                      {path, CProgressLine::FormatSeconds(timeoutMs / 1000.0)});
        return false;
    }
    if (result != 0) {
        error = CDisplayTexts::Format(Id::TargetFileUnreadable, m_language, {path, SystemErrorText(result)});
        return false;
    }
    if (text.size() > kMaxFileBytes) {
        error = CDisplayTexts::Format(Id::TargetFileLarge, m_language, {path});
        return false;
    }
    return AddLines(text, path, error);
}

bool CTargetList::AddLines(const std::string& text, const std::string& origin, std::string& error)
{
    std::size_t begin = text.rfind(kByteOrderMark, 0) == 0 ? kByteOrderMark.size() : 0;
    for (int number = 1; begin < text.size(); ++number) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string raw = text.substr(begin, end - begin);
        begin = end + 1;
        if (raw.size() > kMaxLineLength || !AddLine(raw, error)) {
            error = origin + ":" + std::to_string(number) + ": "
                    + (raw.size() > kMaxLineLength ? CDisplayTexts::Text(Id::TargetLineLong, m_language) : error);
            return false;
        }
    }
    return true;
}

bool CTargetList::AddLine(const std::string& line, std::string& error)
{
    const std::string target = Trimmed(line.substr(0, line.find('#')));
    if (target.empty())
        return true;
    if (target.rfind("usb:", 0) == 0) {
        FleetTarget usb;
        usb.kind = FleetTarget::Kind::Usb;
        if (!ParseUsbNumber(target.substr(4), usb.usbNumber)) {
            error = CDisplayTexts::Format(Id::TargetUsbLine, m_language, {target});
            return false;
        }
        return Add(usb, error);
    }
    return AddTcp(target, error);
}

bool CTargetList::Add(const FleetTarget& target, std::string& error)
{
    const std::string name = target.Name();
    if (std::any_of(m_targets.begin(), m_targets.end(),
                    [&name](const FleetTarget& other) { return other.Name() == name; })) {
        error = CDisplayTexts::Format(Id::TargetTwice, m_language, {name});
        return false;
    }
    if (m_targets.size() >= kMaxTargets) {
        error = CDisplayTexts::Format(Id::TargetTooManyTargets, m_language, {std::to_string(kMaxTargets)});
        return false;
    }
    m_targets.push_back(target);
    return true;
}

}  // namespace zorflash
