#include "app/IPAddressCtrl.h"

#include "platform/StringResource.h"
#include "app/EditMenu.h"
#include "app/UiStrings.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QToolTip>

namespace zorflash {

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
        // Tab leaves the control as a whole; the parts are reached by typing or clicking.
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
    // The control itself takes the focus in the tab order and hands it to its first part;
    // arriving by Tab selects that part's text.
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

void CIPAddressCtrl::Paste(int index, const QString& text)
{
    m_autoEntered = -1;
    const QString trimmed = text.trimmed();
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = dotted.match(trimmed);
    if (match.hasMatch()) {
        for (int i = 0; i < 4; ++i) {
            m_fields[static_cast<size_t>(i)]->setText(QString::number(match.captured(i + 1).toUInt()));
            ClampField(i);
        }
        EnterField(3);
        return;
    }
    // Anything else goes in only where the part's own rule (up to three digits) takes it.
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    field->insert(trimmed);
    ClampField(index);
}

int CIPAddressCtrl::IndexOf(const QObject* field) const
{
    for (int i = 0; i < 4; ++i) {
        if (m_fields[static_cast<size_t>(i)] == field)
            return i;
    }
    return -1;
}

void CIPAddressCtrl::OnFieldEdited(int index)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    if (field->text().toUInt() > 255) {
        // The operator stays in the part, with 255 selected, to type it again.
        ClampField(index);
        field->selectAll();
        return;
    }
    field->setToolTip(QString());  // the reason for a 255 no longer stands
    if (field->text().size() == 3 && field->cursorPosition() == 3 && index < 3) {
        EnterField(index + 1);
        m_autoEntered = index + 1;
    }
}

void CIPAddressCtrl::ClampField(int index)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    const uint value = field->text().toUInt();
    if (value <= 255)
        return;
    field->setText(QStringLiteral("255"));
    const QString why = QString::fromStdString(FormatStringResource(UiLanguage(), kIdsAddressOutOfRange, static_cast<int>(value)));
    field->setToolTip(why);
    QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), why, field);
}

void CIPAddressCtrl::EnterField(int index)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

bool CIPAddressCtrl::OnFieldKey(int index, QKeyEvent* key)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    const bool afterAutoMove = m_autoEntered == index;
    m_autoEntered = -1;
    if (key->matches(QKeySequence::Paste)) {
        Paste(index, QApplication::clipboard()->text());
        return true;
    }
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Space:
        if (!afterAutoMove && index < 3 && !field->text().isEmpty())
            EnterField(index + 1);
        return true;
    case Qt::Key_Backspace:
        if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
            QLineEdit* previous = m_fields[static_cast<size_t>(index - 1)];
            previous->setFocus(Qt::OtherFocusReason);
            previous->setCursorPosition(static_cast<int>(previous->text().size()));
            return true;
        }
        return false;
    case Qt::Key_Left:
        if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
            EnterField(index - 1);
            return true;
        }
        return false;
    case Qt::Key_Right:
        if (field->cursorPosition() == field->text().size() && index < 3) {
            EnterField(index + 1);
            return true;
        }
        return false;
    case Qt::Key_Home:
        EnterField(0);
        return true;
    case Qt::Key_End:
        EnterField(3);
        return true;
    default:
        break;
    }
    // A digit typed into a full part with no selection (the caret put there by a second
    // click or by Backspace) starts the part afresh: refusing it would leave the old
    // digits standing and send the operator's address to another instrument.
    const QString typed = key->text();
    if (typed.size() == 1 && typed.at(0).isDigit() && field->text().size() == 3 && !field->hasSelectedText())
        field->selectAll();
    return false;
}

bool CIPAddressCtrl::eventFilter(QObject* watched, QEvent* event)
{
    const int index = IndexOf(watched);
    if (index < 0)
        return QFrame::eventFilter(watched, event);
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    switch (event->type()) {
    case QEvent::KeyPress:
        if (OnFieldKey(index, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::FocusIn:
        // The focus comes with the press, before the line edit sees the click.
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
            m_clickEntering = index;
        break;
    case QEvent::MouseButtonPress:
        m_autoEntered = -1;
        break;
    case QEvent::MouseButtonRelease:
        // After the line edit has placed its caret: a click that only brought the focus
        // here selects the part; a drag that selected something keeps that selection.
        if (m_clickEntering == index && !field->hasSelectedText())
            field->selectAll();
        m_clickEntering = -1;
        break;
    case QEvent::FocusOut:
        m_autoEntered = -1;
        break;
    case QEvent::ContextMenu:
        ExecEditMenu(field, static_cast<QContextMenuEvent*>(event)->globalPos(),
                     [this, index] { Paste(index, QApplication::clipboard()->text()); });
        return true;
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

}  // namespace zorflash
