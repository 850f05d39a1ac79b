// The window as operators found it wanting: an address typed into the settings dialog
// from any starting state, texts that fit their controls in both languages, a frame that
// keeps its size, Save that remembers its file, the text boxes' edit menu, and a file
// dropped on the window.
#include "GuiTestSupport.h"

#include "app/AboutDialog.h"
#include "resources/ui/DialogTemplate.h"
#include "app/ProgressDisplay.h"
#include "ui/StatusBarProgress.h"

namespace {
// Plays an operator's keystrokes into the settings dialog: characters are typed as they
// stand; {click N} clicks part N, {paste TEXT} pastes with Ctrl+V, {tab} arrives by Tab,
// and {ctrl+a}, {bs}, {home}, {end}, {left}, {right} press those keys.
void PlayKeys(CCommSettingsDialog* dialog, const QString& script)
{
    auto* address = Control<CIPAddressCtrl>(dialog, 1012);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    auto focus = [] { return QApplication::focusWidget(); };
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script[i] != '{') {
            QTest::keyClick(focus(), script[i].toLatin1());
            continue;
        }
        const qsizetype close = script.indexOf('}', i);
        const QString step = script.mid(i + 1, close - i - 1);
        i = close;
        if (step.startsWith("click ")) {
            QLineEdit* field = address->Field(step.mid(6).toInt());
            QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
        } else if (step.startsWith("paste ")) {
            QApplication::clipboard()->setText(step.mid(6));
            QTest::keyClick(focus(), Qt::Key_V, Qt::ControlModifier);
        } else if (step == "tab") {
            address->setFocus(Qt::TabFocusReason);
        } else if (step == "ctrl+a") {
            QTest::keyClick(focus(), Qt::Key_A, Qt::ControlModifier);
        } else {
            const std::map<QString, Qt::Key> keys{{"bs", Qt::Key_Backspace}, {"home", Qt::Key_Home},
                                                  {"end", Qt::Key_End},      {"left", Qt::Key_Left},
                                                  {"right", Qt::Key_Right}};
            QVERIFY2(keys.count(step), qPrintable(step));
            QTest::keyClick(focus(), keys.at(step));
        }
    }
}

// What a text needs: the box its control leaves for it, and the text without mnemonics.
struct TextRoom {
    QString text;
    QRect room;
};

TextRoom RoomFor(QWidget* w)
{
    QStyle* style = w->style();
    if (auto* label = qobject_cast<QLabel*>(w))
        return {label->text(), label->contentsRect()};
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        // The title may take the width of the frame, less its corners.
        const int corner = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, group) * 2;
        const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return {group->title(), QRect(0, title.top(), group->width() - 2 * corner, title.height())};
    }
    auto* button = qobject_cast<QAbstractButton*>(w);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(w))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<QRadioButton*>(w))
        contents = QStyle::SE_RadioButtonContents;
    QString text = button->text();
    text.replace("&&", "\x01").remove('&').replace("\x01", "&");
    return {text, style->subElementRect(contents, &option, button)};
}
}  // namespace

class COperatorTest : public QObject, GuiSession {
    Q_OBJECT

private slots:
    void init() { QVERIFY(Start()); }
    void cleanup() { Stop(); }

    void addressTypedIsAddressUsed_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("address");
        // The dialog opens on the default 192.168.0.1.
        QTest::newRow("click, Ctrl+A, 192.168.1.20") << "{click 0}{ctrl+a}192.168.1.20" << "192.168.1.20";
        QTest::newRow("click, Ctrl+A, 127.0.0.1") << "{click 0}{ctrl+a}127.0.0.1" << "127.0.0.1";
        QTest::newRow("click, no selection, 127.0.0.1") << "{click 0}127.0.0.1" << "127.0.0.1";
        QTest::newRow("click, no selection, 2-digit parts") << "{click 0}10.20.30.40" << "10.20.30.40";
        QTest::newRow("Tab in, 1-, 2- and 3-digit parts") << "{tab}127.10.200.3" << "127.10.200.3";
        QTest::newRow("in one go, no dots") << "{tab}127016001020" << "127.16.1.20";
        QTest::newRow("click into the last part") << "{click 3}{home}127.0.0.5" << "127.0.0.5";
        QTest::newRow("second click, caret inside") << "{click 0}{click 0}10.0.0.25" << "10.0.0.25";
        QTest::newRow("paste into the first part") << "{click 0}{paste 127.1.2.3}" << "127.1.2.3";
        QTest::newRow("paste with blanks, third part") << "{click 2}{paste  127.0.0.9 }" << "127.0.0.9";
        QTest::newRow("paste digits into a part") << "{click 2}{paste 42}" << "192.168.42.1";
        QTest::newRow("over 255 becomes 255") << "{click 0}300.1.2.3" << "255.1.2.3";
        QTest::newRow("Backspace back into a part") << "{click 3}{bs}{bs}{bs}5" << "192.168.5.0";
        QTest::newRow("arrows across parts") << "{click 0}{right}{right}{right}7" << "192.168.0.7";
        QTest::newRow("left past the edge") << "{click 3}{left}{left}5" << "192.168.5.1";
        QTest::newRow("End, then the last part") << "{click 0}{end}77" << "192.168.0.77";
    }

    void addressTypedIsAddressUsed()
    {
        QFETCH(QString, keys);
        QFETCH(QString, address);
        QString tip;
        QVERIFY(DriveSettingsDialog(
            View(),
            [&](CCommSettingsDialog* d) {
                PlayKeys(d, keys);
                tip = Control<CIPAddressCtrl>(d, 1012)->Field(0)->toolTip();
            },
            1));
        const uint32_t a = Record().ipAddress;
        QCOMPARE(QString("%1.%2.%3.%4").arg(a >> 24).arg((a >> 16) & 255).arg((a >> 8) & 255).arg(a & 255), address);
        // The operator is told why a part changed under the fingers.
        if (address.startsWith("255"))
            QVERIFY2(tip.startsWith("300 "), qPrintable(tip));
    }

    void everyTextFitsItsControl_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << int(Language::English);
        QTest::newRow("Japanese") << int(Language::Japanese);
    }

    void everyTextFitsItsControl()
    {
        QFETCH(int, language);
        const auto lang = static_cast<Language>(language);
        QVERIFY(Start(lang));
        CCommSettingsDialog settings(View());
        CAboutDialog about(Frame());
        const std::pair<QWidget*, int> windows[] = {
            {View(), kIddZorflashForm}, {&settings, kIddCommSettings}, {&about, kIddAboutBox}};
        // The status bar in the middle of a long update of two sections and two volumes: the
        // widest figures.
        Frame()->show();
        CProgressDisplay* progress = Frame()->GetProgressDisplay();
        UpdateProgress widest;
        widest.bytes = 999ull << 20;
        widest.total = 1000ull << 20;
        widest.seconds = 0.9;
        widest.section = widest.sections = 2;
        widest.volume = widest.volumes = 2;
        progress->Show(CStatusBarProgress(lang).Show(widest));
        QApplication::processEvents();
        for (QLabel* label : progress->findChildren<QLabel*>()) {
            const QString what = label->text() + " needs " + QString::number(label->sizeHint().width()) + " in " + QString::number(label->width());
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(what));
        }
        int checked = 0;
        for (auto [window, id] : windows) {
            // Measured in the font the window is drawn with, which must be one the template
            // names, or the measure says nothing about what the operator sees.
            const QStringList families = QString(FindDialogTemplate(id, lang)->fontFamily).split(',');
            const QString used = QFontInfo(window->font()).family();
            QVERIFY2(families.contains(used), qPrintable(used + " is not one of " + families.join(", ")));
            for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) && !qobject_cast<QGroupBox*>(w))
                    continue;
                const TextRoom need = RoomFor(w);
                if (need.text.isEmpty())
                    continue;
                const QFontMetrics metrics(w->font());
                const QString what = QString("\"%1\" needs %2x%3, has %4x%5")
                                         .arg(need.text)
                                         .arg(metrics.horizontalAdvance(need.text))
                                         .arg(metrics.height())
                                         .arg(need.room.width())
                                         .arg(need.room.height());
                QVERIFY2(metrics.horizontalAdvance(need.text) <= need.room.width(), qPrintable(what));
                QVERIFY2(metrics.height() <= need.room.height(), qPrintable(what));
                ++checked;
            }
        }
        QCOMPARE(checked, 20);  // 7 + 8 + 3 texts, with the link summary and two radio buttons
    }

    // The frames are drawn by the style, not by the template: a control the template puts
    // a few units inside a frame must still sit inside the line the style draws, and clear
    // of the frame's title, in both languages.
    void nothingSitsOnAFrame_data() { everyTextFitsItsControl_data(); }
    void nothingSitsOnAFrame()
    {
        QFETCH(int, language);
        QVERIFY(Start(static_cast<Language>(language)));
        CCommSettingsDialog settings(View());
        int inside = 0;
        for (QWidget* window : {static_cast<QWidget*>(View()), static_cast<QWidget*>(&settings)}) {
            const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (QWidget* w : children) {
                auto* group = qobject_cast<QGroupBox*>(w);
                if (!group)
                    continue;
                QStyleOptionGroupBox option;
                option.initFrom(group);
                option.text = group->title();
                option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
                QStyle* style = group->style();
                auto place = [&](QStyle::SubControl part) {
                    return style->subControlRect(QStyle::CC_GroupBox, &option, part, group).translated(group->pos());
                };
                const QRect frame = place(QStyle::SC_GroupBoxFrame);
                const QRect title = place(QStyle::SC_GroupBoxLabel);
                const QRect within = place(QStyle::SC_GroupBoxContents);
                for (QWidget* c : children) {
                    if (c == group || qobject_cast<QGroupBox*>(c) || !c->geometry().intersects(frame.united(title)))
                        continue;
                    const QString what = QString("%1 at %2,%3 %4x%5 in \"%6\" framed %7,%8 %9x%10")
                                             .arg(c->metaObject()->className())
                                             .arg(c->x()).arg(c->y()).arg(c->width()).arg(c->height())
                                             .arg(group->title())
                                             .arg(within.x()).arg(within.y()).arg(within.width()).arg(within.height());
                    QVERIFY2(within.contains(c->geometry()), qPrintable(what));
                    QVERIFY2(!c->geometry().intersects(title), qPrintable(what));
                    ++inside;
                }
            }
        }
        QCOMPARE(inside, 6);  // link summary, Settings, the two boxes; TCP/IP and USB
    }

    void hidingBarsKeepsTheFrame()
    {
        const QSize frame = Frame()->size();
        const QSize form = View()->size();
        QAction* toolBar = Frame()->GetAction(59392);
        QAction* statusBar = Frame()->GetAction(59393);
        QVERIFY(toolBar->isChecked() && statusBar->isChecked() && Frame()->statusBar()->isVisible());
        toolBar->trigger();
        statusBar->trigger();
        QApplication::processEvents();
        QVERIFY(!toolBar->isChecked() && !Frame()->GetToolBar()->isVisible());
        QVERIFY(!statusBar->isChecked() && !Frame()->statusBar()->isVisible());
        QCOMPARE(Frame()->size(), frame);
        QCOMPARE(View()->size(), form);
        statusBar->trigger();
        toolBar->trigger();
        QApplication::processEvents();
        QVERIFY(statusBar->isChecked() && Frame()->statusBar()->isVisible());
        QCOMPARE(Frame()->size(), frame);
    }

    void saveAsksOnlyForTheFirstName()
    {
        auto* status = Form<QPlainTextEdit>(1005);
        const QString saved = m_dir.filePath("doc.zorfl");
        int asked = 0;
        Frame()->SetSaveFileChooser([&](QWidget*) {
            ++asked;
            return saved;
        });
        QTest::keyClick(status, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(Frame()->windowTitle(), QString("doc.zorfl - Zorflash"));
        WriteBytes(saved, "old contents");
        QTest::keyClick(status, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(QFileInfo(saved).size(), 0);

        // New makes an untitled document again, which asks once more; a name that cannot
        // be written is reported and not kept.
        QTest::keyClick(status, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(Frame()->windowTitle(), QString("Zorflash"));
        const QString unwritable = m_dir.filePath("no/such/dir/doc.zorfl");
        Frame()->SetSaveFileChooser([&](QWidget*) {
            ++asked;
            return unwritable;
        });
        QTest::keyClick(status, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(status, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(asked, 3);
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages.first().contains(unwritable), qPrintable(messages.first()));
        QCOMPARE(Frame()->windowTitle(), QString("Zorflash"));
    }

    void editMenuCopiesTheLog()
    {
        CEditText log;
        log.SetText("Opening File...\r\nDetecting Target...\r\nSending (65) Record");
        View()->Presenter().OnStatusLogChanged(log, LogChange{});
        QApplication::clipboard()->setText("untouched");
        auto* status = Form<QPlainTextEdit>(1005);
        QCOMPARE(MenuOf(status->viewport(), "Select All"), QStringList({"Copy (off)", "Select All"}));
        QCOMPARE(MenuOf(status->viewport(), "Copy"), QStringList({"Copy", "Select All"}));
        QCOMPARE(QApplication::clipboard()->text(), QString("Opening File...\nDetecting Target...\nSending (65) Record"));

        // The model list's edit field is editable: the whole menu, Paste enabled.
        QLineEdit* edit = Form<QComboBox>(1000)->lineEdit();
        edit->selectAll();
        QCOMPARE(MenuOf(edit, QString()),
                 QStringList({"Undo (off)", "Cut", "Copy", "Paste", "Delete", "Select All (off)"}));
        QCOMPARE(MenuOf(Form<QPlainTextEdit>(1004)->viewport(), QString()), QStringList({"Copy (off)", "Select All (off)"}));
    }

    void droppedFileIsChosenAsBrowseChoosesIt()
    {
        const QString path = m_dir.filePath("drop1.R71");
        WriteUpdateFile(path, 3);
        QVERIFY(!Drop(Form<QPlainTextEdit>(1005)->viewport(), {QUrl::fromLocalFile(path), QUrl::fromLocalFile(path)}));
        QVERIFY(!Drop(Form<QLineEdit>(1001), {QUrl("http://127.0.0.1/fw1.R71")}));
        QVERIFY(Record().filePath.empty());
        QVERIFY(Drop(Form<QComboBox>(1000)->lineEdit(), {QUrl::fromLocalFile(path)}));
        QCOMPARE(QString::fromStdString(Record().filePath), path);
        QCOMPARE(Form<QLineEdit>(1001)->text(), QString("drop1.R71"));
        QVERIFY(Form<QPlainTextEdit>(1004)->toPlainText().startsWith("MORVENAL RT71 MAIN ROM"));
        QCOMPARE(Form<QComboBox>(1000)->lineEdit()->text(), QString("RT71"));
        QVERIFY(Form<QPushButton>(1006)->isEnabled());
        QCOMPARE(chooserCalls, 0);
        // The same checks as Browse: an unreadable file is reported by name.
        const QString missing = m_dir.filePath("gone1.R71");
        QVERIFY(Drop(View(), {QUrl::fromLocalFile(missing)}));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(missing), qPrintable(messages.first()));
    }

private:
    // Opens the edit menu on target, lists its entries ("(off)" when disabled) and clicks
    // the one named click, if any.
    QStringList MenuOf(QWidget* target, const QString& click)
    {
        QStringList entries;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                const QString text = action->text().remove('&');
                entries << (action->isEnabled() ? text : text + " (off)");
                if (text == click)
                    chosen = action;
            }
            if (chosen)
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
            else
                menu->close();
        });
        const QPoint at = target->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        return entries;
    }

    // Drags urls over target and drops them; true when the window took the drop.
    static bool Drop(QWidget* target, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(COperatorTest)
#include "OperatorTest.moc"
