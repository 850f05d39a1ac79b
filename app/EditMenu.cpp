#include "app/EditMenu.h"

#include "app/UiStrings.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

#include <iterator>
#include <memory>

namespace zorflash {

namespace {
// A one-line box's menu, built here: the toolkit's own gives its actions no names to find
// them by.
std::unique_ptr<QMenu> LineEditMenu(QLineEdit* line, const std::function<void()>& paste)
{
    auto menu = std::make_unique<QMenu>();
    const bool writable = !line->isReadOnly();
    const bool selected = line->hasSelectedText();
    auto add = [&](const char* name, bool enabled, auto handler) {
        QAction* action = menu->addAction(QString(), line, handler);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
    };
    if (writable) {
        add("edit-undo", line->isUndoAvailable(), [line] { line->undo(); });
        menu->addSeparator();
        add("edit-cut", selected, [line] { line->cut(); });
    }
    add("edit-copy", selected, [line] { line->copy(); });
    if (writable) {
        add("edit-paste", !QGuiApplication::clipboard()->text().isEmpty(),
            [line, paste] { paste ? paste() : line->paste(); });
        add("edit-delete", selected, [line] { line->del(); });
    }
    menu->addSeparator();
    add("select-all", !line->text().isEmpty() && line->selectedText() != line->text(), [line] { line->selectAll(); });
    return menu;
}
}  // namespace

void ExecEditMenu(QWidget* edit, const QPoint& globalPos, const std::function<void()>& paste)
{
    std::unique_ptr<QMenu> menu;
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        menu = LineEditMenu(line, paste);
    else if (auto* text = qobject_cast<QPlainTextEdit*>(edit))
        menu.reset(text->createStandardContextMenu(text->viewport()->mapFromGlobal(globalPos)));
    if (!menu)
        return;

    // The toolkit's actions keep their enabling rules; they get the operator's words from
    // the string table and lose the key names, which this window does not honour.
    static const char* const kNames[] = {"edit-undo", "edit-cut", "edit-copy", "edit-paste", "edit-delete",
                                         "select-all"};
    bool separatorDue = false;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            separatorDue = true;
            menu->removeAction(action);
            continue;
        }
        const auto known = std::find(std::begin(kNames), std::end(kNames), action->objectName());
        if (known == std::end(kNames)) {
            menu->removeAction(action);
            continue;
        }
        // Undo stands apart from the clipboard group, Select All from both.
        if (separatorDue && !menu->actions().isEmpty() && menu->actions().first() != action)
            menu->insertSeparator(action);
        separatorDue = false;
        action->setText(UiText(kIdsEditUndo + static_cast<unsigned>(std::distance(std::begin(kNames), known))));
        action->setShortcut(QKeySequence());
        if (paste && action->objectName() == QLatin1String("edit-paste")) {
            action->disconnect();
            QObject::connect(action, &QAction::triggered, edit, paste);
        }
    }
    menu->exec(globalPos);
}

}  // namespace zorflash
