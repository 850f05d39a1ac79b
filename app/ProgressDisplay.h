#pragma once

#include <QWidget>

#include <cstdint>

class QLabel;
class QProgressBar;

namespace zorflash {

// The status bar's view of an update: a bar over the bytes of the record stream with its
// percent, the section for files of two sections, the rate and the time left, and at the
// end the outcome. It only shows the values it is given; who measures them and how often
// is the form's business. Idle it shows the framework's prompt, "Ready".
class CProgressDisplay : public QWidget {
    Q_OBJECT
public:
    enum class Outcome { Completed, Failed, Cancelled };

    explicit CProgressDisplay(QWidget* parent = nullptr);

    void Begin(uint64_t totalBytes, int sections);
    void Show(uint64_t sentBytes, int section, double elapsedSeconds);
    void Finish(Outcome outcome);

    // 0..100 while an update runs, -1 otherwise; the window title carries it.
    int Percent() const { return m_running ? m_percent : -1; }
    QString Text() const;

signals:
    void PercentChanged(int percent);

private:
    QProgressBar* m_bar = nullptr;
    QLabel* m_section = nullptr;
    QLabel* m_figures = nullptr;
    uint64_t m_total = 0;
    int m_sections = 1;
    int m_percent = 0;
    bool m_running = false;
};

}  // namespace zorflash
