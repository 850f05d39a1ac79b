// The main window as the operator meets it: start-up state, model choice, Browse with its
// header preview, the settings dialog's rules, New, the accelerator keys, the tool bar,
// the about box and both languages. Controls are found by their ids.
#include "GuiTestSupport.h"

#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "app/ZorflashDoc.h"
#include "platform/StringResource.h"
#include "ui/CommSettingsDialog.h"
#include "ui/IPAddressCtrl.h"
#include "ui/LinkSummary.h"
#include "ui/ZorflashView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>

class CFormTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpState();
    void modelChoiceSwitchesTransport();
    void browseShowsHeaderPreview_data();
    void browseShowsHeaderPreview();
    void browseCancelledOrUnreadable();
    void settingsDialogOpensOnTheRecord_data();
    void settingsDialogOpensOnTheRecord();
    void settingsDialogStoreRules_data();
    void settingsDialogStoreRules();
    void newCommandRestoresDefaultsKeepingThePath();
    void acceleratorKeys();
    void toolBarShowsAndHides();
    void aboutBoxCloses_data();
    void aboutBoxCloses();
    void bothLanguages_data();
    void bothLanguages();

private:
    void Start(Language language = Language::English);
    CZorflashView* View() const { return m_app->GetMainFrame()->GetView(); }
    UpdateSettings& Record() const { return m_app->GetDocument()->GetSettings(); }
    void Browse(const QString& path);

    std::unique_ptr<CZorflashApp> m_app;
    QTemporaryDir m_dir;
    QStringList m_messages;
    int m_chooserCalls = 0;
};

void CFormTest::Start(Language language)
{
    m_app.reset();
    SetResourceLanguage(language);
    m_app = std::make_unique<CZorflashApp>();
    QVERIFY(m_app->InitInstance());
    m_messages.clear();
    m_chooserCalls = 0;
    View()->SetMessageBoxFunction([this](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                         QMessageBox::StandardButtons) {
        m_messages << text;
        return QMessageBox::Ok;
    });
    View()->SetFileChooser([this](QWidget*, const QString&) {
        ++m_chooserCalls;
        return QString();
    });
}

void CFormTest::init()
{
    Start();
}

void CFormTest::cleanup()
{
    m_app.reset();
    SetResourceLanguage(Language::English);
}

void CFormTest::Browse(const QString& path)
{
    View()->SetFileChooser([this, path](QWidget*, const QString&) {
        ++m_chooserCalls;
        return path;
    });
    QTest::mouseClick(Control<QPushButton>(View(), 1002), Qt::LeftButton);
}

void CFormTest::startUpState()
{
    CMainFrame* frame = m_app->GetMainFrame();
    QCOMPARE(frame->windowTitle(), QString("Zorflash"));
    auto* models = Control<QComboBox>(View(), 1000);
    const QStringList expected{"RT71", "RT23", "RT54", "RT36/38/39", "KP90", "NB61/63", "RT85/86"};
    QStringList shown;
    for (int i = 0; i < models->count(); ++i)
        shown << models->itemText(i);
    QCOMPARE(shown, expected);
    QCOMPARE(models->currentIndex(), 0);
    QCOMPARE(Control<QLabel>(View(), 1007)->text(), QString("TCP/IP: 192.168.  0.  1  Port 8023"));
    QVERIFY(!Control<QPushButton>(View(), 1006)->isEnabled());
    QVERIFY(Control<QLineEdit>(View(), 1001)->text().isEmpty());

    const UpdateSettings& s = Record();
    QCOMPARE(s.ipAddress, 0xC0A80001u);
    QCOMPARE(s.port, 8023);
    QCOMPARE(int(s.useUsb), 0);
    QCOMPARE(int(s.fastMode), 1);
    QCOMPARE(s.modelIndex, 0);
    QVERIFY(s.filePath.empty() && s.fileName.empty());

    // The frame is exactly as large as its contents and cannot be resized or maximized.
    QVERIFY(frame->minimumSize() == frame->maximumSize());
    QVERIFY(!(frame->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(frame->windowFlags() & Qt::WindowMinimizeButtonHint);
    auto* status = Control<QPlainTextEdit>(View(), 1005);
    QVERIFY(status->isReadOnly());
    QCOMPARE(status->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(status->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void CFormTest::modelChoiceSwitchesTransport()
{
    auto* models = Control<QComboBox>(View(), 1000);
    auto* summary = Control<QLabel>(View(), 1007);
    models->setFocus();
    QTest::keyClick(models, Qt::Key_Down);  // RT23 forbids TCP/IP
    QCOMPARE(Record().modelIndex, 1);
    QCOMPARE(int(Record().useUsb), 1);
    QCOMPARE(summary->text(), QString("USB: Fast Mode"));
    QTest::keyClick(models, Qt::Key_Down);  // RT54 allows it again
    QCOMPARE(Record().modelIndex, 2);
    QCOMPARE(std::string(Record().model.displayName), std::string("RT54"));
    QCOMPARE(summary->text(), QString("TCP/IP: 192.168.  0.  1  Port 8023"));

    // Text typed into the list's edit field selects nothing, Enter included.
    QLineEdit* edit = models->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "RT23");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(Record().modelIndex, 2);
    QCOMPARE(models->currentIndex(), 2);
    QCOMPARE(models->count(), 7);
}

void CFormTest::browseShowsHeaderPreview_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("preview");
    const QByteArray header = "MORVENAL RT71 MAIN ROM        \r\n";
    QTest::newRow("two lines") << header + "second\r\n" << QString(header.left(30) + "\nsecond\n");
    QTest::newRow("more than four") << header + "b\r\nc\r\nd\r\ne\r\n" << QString(header.left(30) + "\nb\nc\nd\n");
    QTest::newRow("70-byte first line")
        << QByteArray(68, 'x') + "\r\nb\r\nc\r\nd\r\n" << QString(QByteArray(68, 'x') + "\nb\nc\n");
    QTest::newRow("empty file") << QByteArray() << QString();
}

void CFormTest::browseShowsHeaderPreview()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, preview);
    const QString path = m_dir.filePath("fw1.R71");
    WriteBytes(path, bytes.toStdString());
    Browse(path);
    QCOMPARE(m_chooserCalls, 1);
    QCOMPARE(Control<QPlainTextEdit>(View(), 1004)->toPlainText(), preview);
    QCOMPARE(Control<QLineEdit>(View(), 1001)->text(), QString("fw1.R71"));
    QCOMPARE(QString::fromStdString(Record().filePath), path);
    QCOMPARE(Record().fileName, std::string("fw1.R71"));
    QVERIFY(Control<QPushButton>(View(), 1006)->isEnabled());
    QVERIFY(m_messages.isEmpty());
}

void CFormTest::browseCancelledOrUnreadable()
{
    const QString good = m_dir.filePath("good1.R71");
    WriteUpdateFile(good, 3);
    Browse(good);
    const QString preview = Control<QPlainTextEdit>(View(), 1004)->toPlainText();
    QVERIFY(preview.startsWith("MORVENAL RT71 MAIN ROM"));

    Browse(QString());  // cancelled
    QCOMPARE(QString::fromStdString(Record().filePath), good);
    QCOMPARE(Control<QLineEdit>(View(), 1001)->text(), QString("good1.R71"));

    // A file that cannot be read: the operator is told which, the new name is taken, the
    // preview and Start stay as they were.
    const QString missing = m_dir.filePath("gone1.R71");
    Browse(missing);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(missing), qPrintable(m_messages.first()));
    QCOMPARE(Control<QLineEdit>(View(), 1001)->text(), QString("gone1.R71"));
    QCOMPARE(Control<QPlainTextEdit>(View(), 1004)->toPlainText(), preview);
    QVERIFY(Control<QPushButton>(View(), 1006)->isEnabled());

    // A directory is no update file either, and must not hang the form.
    Start();
    Browse(m_dir.path());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!Control<QPushButton>(View(), 1006)->isEnabled());
}

void CFormTest::settingsDialogOpensOnTheRecord_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("tcpChecked");
    QTest::addColumn<bool>("tcpEnabled");
    QTest::newRow("RT71") << 0 << true << true;
    QTest::newRow("RT23 forbids TCP/IP") << 1 << false << false;
}

void CFormTest::settingsDialogOpensOnTheRecord()
{
    QFETCH(int, model);
    QFETCH(bool, tcpChecked);
    QFETCH(bool, tcpEnabled);
    View()->SelectModel(model);
    const bool found = DriveSettingsDialog(
        View(),
        [&](CCommSettingsDialog* dialog) {
            auto* tcp = Control<QRadioButton>(dialog, 1008);
            auto* usb = Control<QRadioButton>(dialog, 1009);
            auto* ip = Control<CIPAddressCtrl>(dialog, 1012);
            auto* port = Control<QLineEdit>(dialog, 1013);
            QCOMPARE(tcp->isChecked(), tcpChecked);
            QCOMPARE(usb->isChecked(), !tcpChecked);
            QCOMPARE(tcp->isEnabled(), tcpEnabled);
            QVERIFY(usb->isEnabled());
            QCOMPARE(ip->isEnabled(), tcpChecked);
            QCOMPARE(port->isEnabled(), tcpChecked);
            uint32_t address = 0;
            QCOMPARE(ip->GetAddress(address), 4);
            QCOMPARE(address, 0xC0A80001u);
            QCOMPARE(port->text(), QString("8023"));
            QVERIFY(Control<QCheckBox>(dialog, 1010)->isChecked());
            QCOMPARE(dialog->windowTitle(), QString("Communication Settings"));
            if (tcpEnabled) {
                QTest::mouseClick(usb, Qt::LeftButton);
                QVERIFY(!ip->isEnabled() && !port->isEnabled());
                QTest::mouseClick(tcp, Qt::LeftButton);
                QVERIFY(ip->isEnabled() && port->isEnabled());
            } else {
                QTest::mouseClick(tcp, Qt::LeftButton);  // disabled: stays USB
                QVERIFY(usb->isChecked() && !ip->isEnabled());
            }
        },
        2);
    QVERIFY(found);
}

namespace {
enum class Edit { EmptyPort, LargePort, LettersInPort, BlankFields, UsbKeepsAddress, FastOff, CancelEverything };
}
Q_DECLARE_METATYPE(Edit)

void CFormTest::settingsDialogStoreRules_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("useUsb");
    QTest::addColumn<uint>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("fastMode");
    QTest::newRow("empty port gives 0") << Edit::EmptyPort << 1 << 0 << 0xC0A80001u << 0 << 1;
    QTest::newRow("99999 kept") << Edit::LargePort << 1 << 0 << 0xC0A80001u << 99999 << 1;
    QTest::newRow("letters never reach the port box") << Edit::LettersInPort << 1 << 0 << 0xC0A80001u << 801 << 1;
    QTest::newRow("blank fields give 0") << Edit::BlankFields << 1 << 0 << 0xC0000000u << 8023 << 1;
    QTest::newRow("USB stores disabled address") << Edit::UsbKeepsAddress << 1 << 1 << 0x0A000019u << 80 << 1;
    QTest::newRow("fast transfer off") << Edit::FastOff << 1 << 0 << 0xC0A80001u << 8023 << 0;
    QTest::newRow("Cancel changes nothing") << Edit::CancelEverything << 2 << 0 << 0xC0A80001u << 8023 << 1;
}

void CFormTest::settingsDialogStoreRules()
{
    QFETCH(Edit, edit);
    QFETCH(int, button);
    QFETCH(int, useUsb);
    QFETCH(uint, address);
    QFETCH(int, port);
    QFETCH(int, fastMode);
    const bool found = DriveSettingsDialog(
        View(),
        [&](CCommSettingsDialog* dialog) {
            auto* ip = Control<CIPAddressCtrl>(dialog, 1012);
            auto* portBox = Control<QLineEdit>(dialog, 1013);
            auto setPort = [&](const char* text) {
                portBox->clear();
                QTest::keyClicks(portBox, text);
            };
            switch (edit) {
            case Edit::EmptyPort:
                portBox->clear();
                break;
            case Edit::LargePort:
                setPort("99999");
                break;
            case Edit::LettersInPort:
                setPort("8a0-1");
                break;
            case Edit::BlankFields:
                ip->Field(1)->clear();
                ip->Field(3)->clear();
                break;
            case Edit::UsbKeepsAddress:
            case Edit::CancelEverything:
                for (int i = 0; i < 4; ++i)
                    ip->Field(i)->clear();
                // Typed as the operator types: "." moves on to the next field.
                dialog->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(dialog));
                ip->Field(0)->setFocus();
                for (QChar c : QString("10.0.0.25")) {
                    QWidget* focus = QApplication::focusWidget();
                    QVERIFY(focus && focus->parentWidget() == ip);
                    QTest::keyClick(focus, c.toLatin1());
                }
                setPort("80");
                QTest::mouseClick(Control<QRadioButton>(dialog, 1009), Qt::LeftButton);
                Control<QCheckBox>(dialog, 1010)->setChecked(false);
                if (edit == Edit::UsbKeepsAddress)
                    Control<QCheckBox>(dialog, 1010)->setChecked(true);
                break;
            case Edit::FastOff:
                QTest::mouseClick(Control<QCheckBox>(dialog, 1010), Qt::LeftButton);
                break;
            }
        },
        button);
    QVERIFY(found);
    const UpdateSettings& s = Record();
    QCOMPARE(int(s.useUsb), useUsb);
    QCOMPARE(s.ipAddress, address);
    QCOMPARE(s.port, port);
    QCOMPARE(int(s.fastMode), fastMode);
    QCOMPARE(Control<QLabel>(View(), 1007)->text(), QString::fromStdString(FormatLinkSummary(s)));
}

void CFormTest::newCommandRestoresDefaultsKeepingThePath()
{
    const QString path = m_dir.filePath("keep1.R71");
    WriteUpdateFile(path, 2);
    View()->SelectModel(4);
    Browse(path);
    QVERIFY(SetTcpLink(View(), "127.0.0.1", 9));
    QCOMPARE(Record().ipAddress, 0x7F000001u);
    const QString preview = Control<QPlainTextEdit>(View(), 1004)->toPlainText();

    QTest::keyClick(m_app->GetMainFrame(), Qt::Key_N, Qt::ControlModifier);
    const UpdateSettings& s = Record();
    QCOMPARE(s.ipAddress, 0xC0A80001u);
    QCOMPARE(s.port, 8023);
    QCOMPARE(int(s.useUsb), 0);
    QCOMPARE(int(s.fastMode), 1);
    QCOMPARE(s.modelIndex, 0);
    QVERIFY(s.fileName.empty());
    QCOMPARE(QString::fromStdString(s.filePath), path);
    QCOMPARE(Control<QComboBox>(View(), 1000)->count(), 7);
    QCOMPARE(Control<QLabel>(View(), 1007)->text(), QString("TCP/IP: 192.168.  0.  1  Port 8023"));
    // What the form shows of the file is left as it was.
    QCOMPARE(Control<QLineEdit>(View(), 1001)->text(), QString("keep1.R71"));
    QCOMPARE(Control<QPlainTextEdit>(View(), 1004)->toPlainText(), preview);
    QVERIFY(Control<QPushButton>(View(), 1006)->isEnabled());
}

void CFormTest::acceleratorKeys()
{
    auto* status = Control<QPlainTextEdit>(View(), 1005);
    View()->StatusSetText("Opening File...\r\nDetecting Target...\r\n");
    QCOMPARE(status->toPlainText(), QString("Opening File...\nDetecting Target...\n"));
    QApplication::clipboard()->setText("untouched");
    status->setFocus();
    status->selectAll();
    QTest::keyClick(status, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(status, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("untouched"));

    // Paste does nothing in the model list's edit field either.
    QLineEdit* edit = Control<QComboBox>(View(), 1000)->lineEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(edit->text(), QString("RT71"));
    QTest::keyClick(edit, Qt::Key_F6);
    QTest::keyClick(edit, Qt::Key_F6, Qt::ShiftModifier);

    // Ctrl+O opens from anywhere in the window, also from inside a text box.
    QTest::keyClick(status, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_chooserCalls, 1);

    // Ctrl+S asks for a name and writes an empty file.
    const QString saved = m_dir.filePath("doc.zorfl");
    m_app->GetMainFrame()->SetSaveFileChooser([&](QWidget*) { return saved; });
    QTest::keyClick(status, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(QFile::exists(saved));
    QCOMPARE(QFileInfo(saved).size(), 0);
    m_app->GetMainFrame()->SetSaveFileChooser([&](QWidget*) { return m_dir.filePath("no/such/dir/doc.zorfl"); });
    QTest::keyClick(status, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_messages.size(), 1);
}

void CFormTest::toolBarShowsAndHides()
{
    CMainFrame* frame = m_app->GetMainFrame();
    QAction* toggle = frame->GetAction(59392);
    QToolBar* bar = frame->GetToolBar();
    QCOMPARE(bar->objectName(), QString("59392"));
    QVERIFY(toggle->isCheckable() && toggle->isChecked() && bar->isVisible());
    const QList<QAction*> buttons = bar->actions();
    QCOMPARE(buttons.size(), 4);
    QCOMPARE(buttons[0], frame->GetAction(57601));
    QCOMPARE(buttons[1], frame->GetAction(32771));
    QVERIFY(buttons[2]->isSeparator());
    QCOMPARE(buttons[3], frame->GetAction(57665));
    const int withBar = frame->height();
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QVERIFY(!bar->isVisible());
    QTRY_VERIFY(frame->height() < withBar);  // the frame still fits its contents exactly
    toggle->trigger();
    QVERIFY(toggle->isChecked() && bar->isVisible());
}

void CFormTest::aboutBoxCloses_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Esc") << 2;
    QTest::newRow("close box") << 3;
}

void CFormTest::aboutBoxCloses()
{
    QFETCH(int, how);
    QString caption;
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!about)
            return;
        caption = about->windowTitle();
        for (QLabel* label : about->findChildren<QLabel*>())
            texts << label->text();
        switch (how) {
        case 0:
            QTest::mouseClick(Control<QPushButton>(about, 1), Qt::LeftButton);
            break;
        case 1:
            QTest::keyClick(about, Qt::Key_Return);
            break;
        case 2:
            QTest::keyClick(about, Qt::Key_Escape);
            break;
        default:
            about->close();
        }
    });
    QTimer::singleShot(10000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    m_app->GetMainFrame()->GetAction(57664)->trigger();
    QVERIFY(elapsed.elapsed() < 5000);
    QCOMPARE(caption, QString("About"));
    QVERIFY(texts.contains("Zorflash Ver. 1.00"));
}

void CFormTest::bothLanguages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("browse");
    QTest::addColumn<QStringList>("menus");
    QTest::addColumn<QStringList>("toolTips");
    QTest::addColumn<QString>("settingsCaption");
    QTest::addColumn<QString>("fastLabel");
    QTest::newRow("English") << int(Language::English) << "Start" << "Browse..."
                             << QStringList{"&File", "&Settings", "&View", "&Help"}
                             << QStringList{"Open", "Communication Settings", "Exit"} << "Communication Settings"
                             << "Enable Fast Transfer";
    QTest::newRow("Japanese") << int(Language::Japanese) << "開　　始" << "参照..."
                              << QStringList{"ﾌｧｲﾙ(&F)", "設定(&S)", "表示(&V)", "ﾍﾙﾌﾟ(&H)"}
                              << QStringList{"開く", "通信設定", "終了"} << "転送設定" << "USB高速転送を有効にする";
}

void CFormTest::bothLanguages()
{
    QFETCH(int, language);
    QFETCH(QString, start);
    QFETCH(QString, browse);
    QFETCH(QStringList, menus);
    QFETCH(QStringList, toolTips);
    QFETCH(QString, settingsCaption);
    QFETCH(QString, fastLabel);
    Start(static_cast<Language>(language));
    CMainFrame* frame = m_app->GetMainFrame();
    QCOMPARE(frame->windowTitle(), QString("Zorflash"));
    QCOMPARE(Control<QPushButton>(View(), 1006)->text(), start);
    QCOMPARE(Control<QPushButton>(View(), 1002)->text(), browse);
    QStringList shownMenus;
    for (QAction* menu : frame->menuBar()->actions())
        shownMenus << menu->text();
    QCOMPARE(shownMenus, menus);
    QStringList shownTips;
    for (int id : {57601, 32771, 57665})
        shownTips << frame->GetAction(id)->toolTip();
    QCOMPARE(shownTips, toolTips);
    QCOMPARE(Control<QLabel>(View(), 1007)->text(), QString("TCP/IP: 192.168.  0.  1  Port 8023"));

    // The form keeps the template's proportions in either font.
    const double ratio = double(View()->width()) / View()->height();
    QVERIFY2(std::abs(ratio - 252.0 / 256.0) < 0.15, qPrintable(QString::number(ratio)));
    qInfo("form %dx%d", View()->width(), View()->height());

    QVERIFY(DriveSettingsDialog(
        View(),
        [&](CCommSettingsDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), settingsCaption);
            QCOMPARE(Control<QCheckBox>(dialog, 1010)->text(), fastLabel);
        },
        2));

    // Closing is refused only while an update runs; when idle the window closes.
    QVERIFY(frame->close());
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(CFormTest)
#include "FormTest.moc"
