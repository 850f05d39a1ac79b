#include "app/ProgressDisplay.h"

#include "update/ProgressLine.h"
#include "platform/StringResource.h"
#include "app/UiStrings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace zorflash {

namespace {
constexpr unsigned kIdsIdlePrompt = 57345;  // "Ready"
}

CProgressDisplay::CProgressDisplay(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(true);
    m_bar->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
    m_section = new QLabel(this);
    m_figures = new QLabel(UiText(kIdsIdlePrompt), this);
    layout->addWidget(m_figures, 1);
    layout->addWidget(m_section);
    layout->addWidget(m_bar);
    m_bar->hide();
    m_section->hide();
}

void CProgressDisplay::Begin(uint64_t totalBytes, int sections)
{
    m_total = totalBytes;
    m_sections = std::max(1, sections);
    m_running = true;
    m_bar->show();
    m_section->setVisible(m_sections > 1);
    m_percent = -1;
    Show(0, 1, 0.0);
}

void CProgressDisplay::Show(uint64_t sentBytes, int section, double elapsedSeconds)
{
    // The total is the volumes' sizes, which may hold bytes behind the last END: the bar
    // never runs past full, and the time left never below zero.
    const uint64_t sent = std::min(sentBytes, m_total);
    const int percent = m_total == 0 ? 0 : static_cast<int>(sent * 100 / m_total);
    const double rate = elapsedSeconds > 0 ? static_cast<double>(sentBytes) / elapsedSeconds : 0.0;
    const double left = m_total <= sent ? 0.0 : (rate > 0 ? static_cast<double>(m_total - sent) / rate : -1.0);
    m_bar->setValue(percent);
    m_section->setText(QString::fromStdString(
        FormatStringResource(UiLanguage(), kIdsProgressSection, std::clamp(section, 1, m_sections), m_sections)));
    m_figures->setText(QString::fromStdString(FormatStringResource(
        UiLanguage(), kIdsProgressFigures, CProgressLine::FormatBytes(static_cast<double>(sent)).c_str(),
        CProgressLine::FormatBytes(static_cast<double>(m_total)).c_str(), CProgressLine::FormatBytes(rate).c_str(),
        CProgressLine::FormatDuration(left).c_str())));
    if (percent != m_percent) {
        m_percent = percent;
        emit PercentChanged(percent);
    }
}

void CProgressDisplay::Finish(Outcome outcome)
{
    m_running = false;
    m_section->hide();
    unsigned id = kIdsUpdateFailed;
    if (outcome == Outcome::Completed)
        id = kIdsUpdateCompleted;
    else if (outcome == Outcome::Cancelled)
        id = kIdsUpdateCancelled;
    m_figures->setText(UiText(id));
    emit PercentChanged(-1);
}

QString CProgressDisplay::Text() const
{
    QString text = m_figures->text();
    if (!m_section->isHidden())
        text += QLatin1Char(' ') + m_section->text();
    if (!m_bar->isHidden())
        text += QLatin1Char(' ') + m_bar->text();
    return text;
}

}  // namespace zorflash
