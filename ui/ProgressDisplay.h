#pragma once

#include "update/UpdateProgress.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace zorflash {

// The status bar's view of an update: a bar over the bytes of the record stream with its
// percent, the volume for files of two volumes (else the section for files of two
// sections), the rate and the time left, and at the end the outcome. It shows what CProgressFigures
// makes of the values it is given; how often is the form's business. Idle it shows the
// framework's prompt, "Ready".
class CProgressDisplay : public QWidget {
    Q_OBJECT
public:
    enum class Outcome { Completed, Failed, Cancelled };

    explicit CProgressDisplay(QWidget* parent = nullptr);

    void Begin();
    void Show(const UpdateProgress& progress);
    void Finish(Outcome outcome);

    // 0..100 while an update runs, -1 otherwise; the window title carries it.
    int Percent() const { return m_running ? m_percent : -1; }
    QString Text() const;

signals:
    void PercentChanged(int percent);

private:
    QProgressBar* m_bar = nullptr;
    QLabel* m_section = nullptr;  // the volume, or the section: CProgressFigures::Place
    QLabel* m_figures = nullptr;
    int m_percent = 0;
    bool m_running = false;
};

}  // namespace zorflash
