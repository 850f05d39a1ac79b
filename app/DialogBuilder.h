#pragma once

#include "resources/ui/DialogTemplate.h"

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace zorflash {

// Lays a dialog template out on a widget: the template's font, its dialog units turned
// into pixels with that font's average character width and height, one child per row in
// template order (so the tab order is the template's). Controls with an id carry it as
// their object name and as the "controlId" property, so code and tests find them by id.
class CDialogBuilder {
public:
    explicit CDialogBuilder(const DialogTemplate& dialogTemplate);

    const QFont& Font() const { return m_font; }
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    QSize TemplateSize() const;

    // Sets the font and the fixed size on the widget and creates its children.
    void Build(QWidget* widget) const;

private:
    QWidget* CreateItem(const DialogItem& item, QWidget* parent) const;
    static void FitLabel(QWidget* label, int width);
    static void RaiseFrameTitle(QWidget* group, int firstInsideTop);

    const DialogTemplate& m_template;
    QFont m_font;
    int m_baseX = 1;
    int m_baseY = 1;
};

// The child with the given control id; null if there is none.
QWidget* FindControl(const QWidget* dialog, int id);

}  // namespace zorflash
