#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// A minimal instrument on 127.0.0.1 for the form's update tests: it answers the update
// exchange of one MAIN file and can hold its header acknowledgement until released, so a
// test can look at the window while an update is in the middle. Every wait is bounded.
class CFakeInstrument {
public:
    CFakeInstrument();
    ~CFakeInstrument();
    CFakeInstrument(const CFakeInstrument&) = delete;
    CFakeInstrument& operator=(const CFakeInstrument&) = delete;

    // Listens on 127.0.0.1 with a port of the system's choice; false if that failed.
    bool Listen(bool holdHeaderAck);
    uint16_t Port() const { return m_port; }

    bool HeaderReceived() const { return m_headerReceived; }
    void ReleaseHeaderAck() { m_release = true; }
    // True once the END byte of the section arrived with every checksum right.
    bool Completed() const { return m_completed; }
    int RecordsReceived() const { return m_records; }
    std::string Failure() const;

private:
    void Serve();
    bool ReadExact(int fd, uint8_t* data, size_t size);
    bool WriteAll(int fd, const void* data, size_t size);

    int m_listenFd = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_holdHeaderAck{false};
    std::atomic<bool> m_release{false};
    std::atomic<bool> m_headerReceived{false};
    std::atomic<bool> m_completed{false};
    std::atomic<int> m_records{0};
    std::atomic<const char*> m_failure{nullptr};
};
