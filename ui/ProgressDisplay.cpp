#include "ui/ProgressDisplay.h"

#include "ui/ProgressFigures.h"
#include "ui/UiStrings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>


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

void CProgressDisplay::Begin()
{
    m_running = true;
    m_bar->show();
    m_percent = -1;
    Show(UpdateProgress());
}

void CProgressDisplay::Show(const UpdateProgress& progress)
{
    const CProgressFigures figures(progress, UiLanguage());
    const int percent = figures.Percent();
    m_bar->setValue(percent);
    const std::string place = figures.Place();
    m_section->setText(QString::fromStdString(place));
    m_section->setVisible(!place.empty());
    m_figures->setText(QString::fromStdString(figures.Figures()));
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
