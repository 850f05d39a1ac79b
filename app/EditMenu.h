#pragma once

#include <QPoint>

#include <functional>

class QWidget;

namespace zorflash {

// The menu every text box has on the platform, also where the window's edit keys are
// inert: Undo, Cut, Copy, Paste, Delete and Select All, each enabled only where it applies
// (a read-only box offers Copy and Select All). It is how an operator copies the status
// log into a ticket. edit is a QLineEdit or a QPlainTextEdit; paste, when given, replaces
// the box's own Paste. Returns once the menu has closed.
void ExecEditMenu(QWidget* edit, const QPoint& globalPos, const std::function<void()>& paste = {});

}  // namespace zorflash
