#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CFile;
class CDeviceLink;
class CUpdateHost;

// One firmware update: the host side of the update protocol. The worker builds one job
// per update, sets m_pView and calls Run once; the outcome is visible only in the host's
// status box. Every failure ends the run with one status message; nothing is retried
// except the disk prompt, which the operator answers.
class CUpdateJob {
public:
    CUpdateJob();
    virtual ~CUpdateJob();
    CUpdateJob(const CUpdateJob&) = delete;
    CUpdateJob& operator=(const CUpdateJob&) = delete;

    void Run();

    // Opens volume `volume` of the chosen file into `file`, prompting for the disk until
    // the right one is there: 0 when open and matching, -1 when the operator cancelled or
    // a file error was reported. A negative kind skips the header-line test.
    int OpenVolume(CFile& file, int volume, std::string fileName, int kind);
    void ReadHeaderLine(CFile& file, char* buffer);
    int ReadRecord(CFile& file, uint8_t* buffer);

    // The status log: append at the end, or write over the last line (progress text).
    void AppendStatus(const std::string& text);
    void ReplaceStatusLine(const std::string& text);

    CUpdateHost* m_pView = nullptr;  // the form that started the run; not owned

private:
    // Completed: every needed END went out. Ended: the sections wrote their own message.
    enum class Outcome { Completed, Ended, CommunicationError };

    void RunSteps(uint8_t* block, std::unique_ptr<CFile>& file, std::unique_ptr<CDeviceLink>& link);
    Outcome SendRecordSections(CFile& file, CDeviceLink& link, uint8_t* block, int kind);
    bool SendBytes(CDeviceLink& link, const uint8_t* data, uint32_t length, bool recordStream);
    bool VolumeChanged(const CFile& file);  // true, with the message written, when it was
    bool ReceiveBytes(CDeviceLink& link, uint8_t* buffer, uint32_t length);
    bool ReceiveAck(CDeviceLink& link);
    void AppendMessage(unsigned id);
    void AppendFailure(unsigned id);  // the message after CR LF

    uint32_t m_timeout = 10000;
};
