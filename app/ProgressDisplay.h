#pragma once

#include "ui/ProgressState.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace zorflash {

// The status bar's view of an update: a bar with its percent, the section for files of
// two sections, the figures or the outcome. It shows the ProgressState the form's
// presenter works out, nothing more. Idle it shows the framework's prompt, "Ready".
class CProgressDisplay : public QWidget {
    Q_OBJECT
public:
    explicit CProgressDisplay(QWidget* parent = nullptr);

    void Show(const ProgressState& state);

    // 0..100 while an update runs, -1 otherwise.
    int Percent() const { return m_titlePercent; }
    QString Text() const;
    // The tool tip's text as the presenter gave it (one sentence a line).
    QString ToolTip() const;

private:
    QProgressBar* m_bar = nullptr;
    QLabel* m_section = nullptr;
    QLabel* m_figures = nullptr;
    int m_titlePercent = -1;
    QString m_toolTip;
};

}  // namespace zorflash
