#include "app/DialogBuilder.h"

#include "app/IPAddressCtrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QStyleOptionGroupBox>

#include <climits>
#include <vector>

namespace zorflash {

CDialogBuilder::CDialogBuilder(const DialogTemplate& dialogTemplate)
    : m_template(dialogTemplate)
{
    m_font.setFamilies(QString::fromUtf8(dialogTemplate.fontFamily).split(','));
    m_font.setPointSize(dialogTemplate.pointSize);
    // Dialog base units as the platform has always computed them: the average width of
    // the Latin letters, rounded, and the font's height.
    const QFontMetrics metrics(m_font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (letters / 26 + 1) / 2);
    // The fallback fonts for Japanese carry a line height far above the em (room for
    // stacked marks) that the operator's fonts never had; capped at 1.2 em, as those
    // fonts measure, the windows keep their shape in every language.
    const int em = QFontInfo(m_font).pixelSize();
    m_baseY = std::max(1, std::min(metrics.height(), (em * 6 + 2) / 5));
}

QRect CDialogBuilder::MapDialogRect(int x, int y, int cx, int cy) const
{
    auto mapX = [this](int v) { return (v * m_baseX + 2) / 4; };
    auto mapY = [this](int v) { return (v * m_baseY + 4) / 8; };
    return QRect(mapX(x), mapY(y), mapX(cx), mapY(cy));
}

QSize CDialogBuilder::TemplateSize() const
{
    return MapDialogRect(0, 0, m_template.cx, m_template.cy).size();
}

void CDialogBuilder::Build(QWidget* widget) const
{
    widget->setFont(m_font);
    widget->setFixedSize(TemplateSize());
    if (m_template.caption)
        widget->setWindowTitle(QString::fromUtf8(m_template.caption));
    std::vector<QWidget*> controls;
    for (size_t i = 0; i < m_template.itemCount; ++i) {
        const DialogItem& item = m_template.items[i];
        QWidget* control = CreateItem(item, widget);
        controls.push_back(control);
        QRect rect = MapDialogRect(item.x, item.y, item.cx, item.cy);
        if (item.kind == DialogItemKind::DropDownCombo)
            rect.setHeight(control->sizeHint().height());  // the rest is the drop-down
        control->setGeometry(rect);
        if (item.kind == DialogItemKind::Label && item.text)
            FitLabel(control, rect.width());
        if (item.id != 0) {
            control->setObjectName(QString::number(item.id));
            control->setProperty("controlId", item.id);
        }
    }
    for (size_t g = 0; g < m_template.itemCount; ++g) {
        const DialogItem& group = m_template.items[g];
        if (group.kind != DialogItemKind::GroupBox)
            continue;
        int firstInside = INT_MAX;
        for (size_t i = 0; i < m_template.itemCount; ++i) {
            const DialogItem& item = m_template.items[i];
            if (i != g && item.kind != DialogItemKind::GroupBox && item.x >= group.x && item.y >= group.y &&
                item.x + item.cx <= group.x + group.cx && item.y + item.cy <= group.y + group.cy)
                firstInside = std::min(firstInside, controls[i]->y());
        }
        if (firstInside != INT_MAX)
            RaiseFrameTitle(controls[g], firstInside);
    }
}

// The templates were drawn for frames whose line runs through the middle of the title;
// a style that puts the title above the line pushes the line down onto the controls a
// few units inside it (the Settings button, the text boxes). The frame grows upwards,
// its bottom kept, until its line clears the highest control inside it.
void CDialogBuilder::RaiseFrameTitle(QWidget* group, int firstInsideTop)
{
    auto* box = static_cast<QGroupBox*>(group);
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect contents = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, box);
    const int gap = 1;
    const int raise = box->y() + contents.top() + gap - firstInsideTop;
    if (raise > 0)
        box->setGeometry(box->x(), box->y() - raise, box->width(), box->height() + raise);
}

QWidget* CDialogBuilder::CreateItem(const DialogItem& item, QWidget* parent) const
{
    const QString text = item.text ? QString::fromUtf8(item.text) : QString();
    switch (item.kind) {
    case DialogItemKind::Label: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    }
    case DialogItemKind::LeftText: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case DialogItemKind::PlainText: {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case DialogItemKind::GroupBox: {
        auto* group = new QGroupBox(text, parent);
        group->lower();  // a frame behind the controls it surrounds, never over them
        return group;
    }
    case DialogItemKind::PushButton:
    case DialogItemKind::DefaultButton: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault(item.kind == DialogItemKind::DefaultButton);
        return button;
    }
    case DialogItemKind::DropDownCombo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->setMaxVisibleItems(10);
        return combo;
    }
    case DialogItemKind::ReadOnlyEdit: {
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly(true);
        return edit;
    }
    case DialogItemKind::HeaderEdit:
    case DialogItemKind::StatusEdit: {
        auto* edit = new QPlainTextEdit(parent);
        edit->setReadOnly(true);
        edit->setUndoRedoEnabled(false);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setVerticalScrollBarPolicy(item.kind == DialogItemKind::StatusEdit ? Qt::ScrollBarAlwaysOn
                                                                                 : Qt::ScrollBarAlwaysOff);
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        return edit;
    }
    case DialogItemKind::DigitsEdit: {
        auto* edit = new QLineEdit(parent);
        // Typed and pasted text alike: only digits reach the box.
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        return edit;
    }
    case DialogItemKind::RadioButton:
        return new QRadioButton(text, parent);
    case DialogItemKind::CheckBox:
        return new QCheckBox(text, parent);
    case DialogItemKind::IpAddress:
        return new CIPAddressCtrl(parent);
    }
    return new QWidget(parent);
}

void CDialogBuilder::FitLabel(QWidget* label, int width)
{
    // The templates' labels were measured in the operator's fonts; where a stand-in font
    // runs wider, the text is narrowed a little rather than cut off.
    const int needed = label->fontMetrics().horizontalAdvance(static_cast<QLabel*>(label)->text());
    if (needed <= width || needed <= 0)
        return;
    QFont font = label->font();
    font.setStretch(std::max(60, 100 * width / needed));
    label->setFont(font);
}

QWidget* FindControl(const QWidget* dialog, int id)
{
    return dialog->findChild<QWidget*>(QString::number(id));
}

}  // namespace zorflash
