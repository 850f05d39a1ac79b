#include "app/ProgressDisplay.h"

#include "app/UiStrings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace zorflash {

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

void CProgressDisplay::Show(const ProgressState& state)
{
    m_bar->setVisible(state.barShown);
    m_bar->setValue(state.barPercent);
    m_section->setVisible(state.sectionShown);
    m_section->setText(QString::fromStdString(state.sectionText));
    m_figures->setText(QString::fromStdString(state.figuresText));
    // The whole line again, a sentence a line, for when the bar is too narrow for it; as
    // rich text, so that a long next step wraps inside the screen.
    m_toolTip = QString::fromStdString(state.toolTip);
    m_figures->setToolTip(m_toolTip.isEmpty() ? QString()
                                              : "<qt>" + m_toolTip.toHtmlEscaped().replace('\n', "<br>") + "</qt>");
    m_titlePercent = state.titlePercent;
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

QString CProgressDisplay::ToolTip() const
{
    return m_toolTip;
}

}  // namespace zorflash
