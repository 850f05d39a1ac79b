#include "ui/IPAddressCtrl.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

CIPAddressCtrl::CIPAddressCtrl(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    for (int i = 0; i < 4; ++i) {
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        // Tab leaves the control as a whole; the fields are reached by typing or clicking.
        field->setFocusPolicy(Qt::ClickFocus);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), field));
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
        m_fields[static_cast<size_t>(i)] = field;
        if (i < 3) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            dot->setBackgroundRole(QPalette::Base);
            m_dots[static_cast<size_t>(i)] = dot;
        }
    }
    // The control itself takes the focus in the tab order and hands it to its first field.
    setFocusProxy(m_fields[0]);
}

void CIPAddressCtrl::SetAddress(uint32_t address)
{
    for (int i = 0; i < 4; ++i)
        m_fields[static_cast<size_t>(i)]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
}

int CIPAddressCtrl::GetAddress(uint32_t& address) const
{
    address = 0;
    int filled = 0;
    for (int i = 0; i < 4; ++i) {
        const QString text = m_fields[static_cast<size_t>(i)]->text();
        uint32_t value = 0;
        if (!text.isEmpty()) {
            ++filled;
            value = std::min(text.toUInt(), 255u);
        }
        address |= value << (24 - 8 * i);
    }
    return filled;
}

void CIPAddressCtrl::ClearAddress()
{
    for (QLineEdit* field : m_fields)
        field->clear();
}

void CIPAddressCtrl::OnFieldEdited(int index)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    if (field->text().toUInt() > 255)
        field->setText(QStringLiteral("255"));
    if (field->text().size() == 3 && field->cursorPosition() == 3 && index < 3)
        FocusField(index + 1, true);
}

void CIPAddressCtrl::FocusField(int index, bool atStart)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    if (atStart)
        field->selectAll();
    else
        field->setCursorPosition(field->text().size());
}

bool CIPAddressCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    int index = -1;
    for (int i = 0; i < 4; ++i) {
        if (m_fields[static_cast<size_t>(i)] == watched)
            index = i;
    }
    if (index < 0)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Space:
        if (index < 3 && !field->text().isEmpty())
            FocusField(index + 1, true);
        return true;
    case Qt::Key_Backspace:
        if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
            FocusField(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (field->cursorPosition() == 0 && index > 0) {
            FocusField(index - 1, false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (field->cursorPosition() == field->text().size() && index < 3) {
            FocusField(index + 1, true);
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

void CIPAddressCtrl::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    const QRect inner = contentsRect();
    const int dotWidth = std::max(4, fontMetrics().horizontalAdvance(QLatin1Char('.')) + 2);
    const int fieldWidth = std::max(1, (inner.width() - 3 * dotWidth) / 4);
    int x = inner.left();
    for (int i = 0; i < 4; ++i) {
        m_fields[static_cast<size_t>(i)]->setGeometry(x, inner.top(), fieldWidth, inner.height());
        x += fieldWidth;
        if (i < 3) {
            m_dots[static_cast<size_t>(i)]->setGeometry(x, inner.top(), dotWidth, inner.height());
            x += dotWidth;
        }
    }
}
