// The main window as the operator meets it: start-up state, model choice, Browse with its
// header preview, the settings dialog's rules, New, the accelerator keys, the tool bar
// and both languages. Controls are found by their ids.
#include "GuiTestSupport.h"

#include "ui/LinkSummary.h"

#include <tuple>

#include <sys/stat.h>

using DialogEdit = std::function<void(CCommSettingsDialog*)>;
Q_DECLARE_METATYPE(DialogEdit)

namespace {
const QString kDefaultSummary = "TCP/IP: 192.168.  0.  1  Port 8023";

auto Link(const UpdateSettings& s)
{
    return std::tuple(int(s.useUsb), s.ipAddress, s.port, int(s.fastMode));
}

QLineEdit* PortBox(QWidget* dialog)
{
    return Control<QLineEdit>(dialog, 1013);
}

CIPAddressCtrl* Address(QWidget* dialog)
{
    return Control<CIPAddressCtrl>(dialog, 1012);
}

void TypePort(QWidget* dialog, const QString& text)
{
    PortBox(dialog)->clear();
    QTest::keyClicks(PortBox(dialog), text);
}

// Address and port typed as the operator types them ("." moves on to the next field),
// then USB chosen, which locks both.
void TypeLinkThenChooseUsb(CCommSettingsDialog* dialog)
{
    Address(dialog)->ClearAddress();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    Address(dialog)->Field(0)->setFocus();
    for (QChar c : QString("10.0.0.25"))
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    TypePort(dialog, "80");
    QVERIFY(Address(dialog)->isEnabled() && PortBox(dialog)->isEnabled());
    QTest::mouseClick(Control<QRadioButton>(dialog, 1009), Qt::LeftButton);
    QVERIFY(!Address(dialog)->isEnabled() && !PortBox(dialog)->isEnabled());
}
}  // namespace

class CFormTest : public QObject, GuiSession {
    Q_OBJECT

private slots:
    void init() { QVERIFY(Start()); }
    void cleanup() { Stop(); }

    void startUpAndModelChoice()
    {
        auto* models = Form<QComboBox>(1000);
        QStringList shown;
        for (int i = 0; i < models->count(); ++i)
            shown << models->itemText(i);
        QCOMPARE(shown, (QStringList{"RT71", "RT23", "RT54", "RT36/38/39", "KP90", "NB61/63", "RT85/86"}));
        QCOMPARE(models->currentIndex(), 0);
        auto* summary = Form<QLabel>(1007);
        QCOMPARE(summary->text(), kDefaultSummary);
        QVERIFY(!Form<QPushButton>(1006)->isEnabled());

        models->setFocus();
        QTest::keyClick(models, Qt::Key_Down);  // RT23 forbids TCP/IP
        QCOMPARE(Record().modelIndex, 1);
        QCOMPARE(summary->text(), QString("USB: Fast Mode"));
        QTest::keyClick(models, Qt::Key_Down);  // RT54 allows it again
        QCOMPARE(Record().modelIndex, 2);
        QCOMPARE(summary->text(), kDefaultSummary);

        // Text typed into the list's edit field selects nothing, Enter included.
        models->lineEdit()->selectAll();
        QTest::keyClicks(models->lineEdit(), "RT23");
        QTest::keyClick(models->lineEdit(), Qt::Key_Return);
        QCOMPARE(Record().modelIndex, 2);
        QCOMPARE(models->currentIndex(), 2);
        QCOMPARE(models->count(), 7);
    }

    void browseShowsHeaderPreview_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("preview");
        const QByteArray header = "MORVENAL RT71 MAIN ROM        \r\n";
        const QString shown = header.left(30) + "\n";
        QTest::newRow("two lines") << header + "second\r\n" << shown + "second\n";
        QTest::newRow("four lines at most") << header + "b\r\nc\r\nd\r\ne\r\n" << shown + "b\nc\nd\n";
        // A 70-byte first line takes two reads: its first 64 bytes, then the rest.
        QTest::newRow("70-byte first line") << QByteArray(68, 'x') + "\r\nb\r\nc\r\nd\r\n"
                                            << QString(QByteArray(68, 'x') + "\nb\nc\n");
        // A line ends at its first NUL; binary bytes never run past the read buffer.
        QTest::newRow("NUL in a line") << QByteArray("ab\0cd\r\nnext\r\n", 13) << QString("abnext\n");
        QTest::newRow("no line end") << QByteArray(300, 'x') << QString(256, 'x');
        QTest::newRow("empty file") << QByteArray() << QString();
        // Bytes that are no text show as a placeholder; only CR LF ends a line.
        QTest::newRow("binary and lone line ends") << QByteArray("ab\x01\xff\xe3\x81\rc\nd\r\n", 12)
                                                   << QString::fromUtf8("ab·····c·d\n");
    }

    void browseShowsHeaderPreview()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, preview);
        const QString path = m_dir.filePath("fw1.R71");
        WriteBytes(path, bytes);
        Browse(path);
        QCOMPARE(chooserCalls, 1);
        QCOMPARE(Form<QPlainTextEdit>(1004)->toPlainText(), preview);
        QCOMPARE(Form<QLineEdit>(1001)->text(), QString("fw1.R71"));
        QCOMPARE(QString::fromStdString(Record().filePath), path);
        QCOMPARE(Record().fileName, std::string("fw1.R71"));
        QVERIFY(Form<QPushButton>(1006)->isEnabled());
        QVERIFY(messages.isEmpty());
    }

    void browseCancelledOrUnreadable()
    {
        const QString good = m_dir.filePath("good1.R71");
        WriteUpdateFile(good, 3);
        Browse(good);
        const QString preview = Form<QPlainTextEdit>(1004)->toPlainText();
        QVERIFY(preview.startsWith("MORVENAL RT71 MAIN ROM"));

        Browse(QString());  // cancelled
        QCOMPARE(QString::fromStdString(Record().filePath), good);
        QCOMPARE(Form<QLineEdit>(1001)->text(), QString("good1.R71"));

        // A file that cannot be read leaves the form as it was (name, preview, record and
        // Start), with one message naming it: missing, a pipe nobody writes (no seek, no
        // second read), a name below a file, and a file without read permission where the
        // user is one the permission holds for.
        const QString fifo = m_dir.filePath("fifo1.R71");
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString locked = m_dir.filePath("locked1.R71");
        WriteUpdateFile(locked, 3);
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        QStringList unreadable{m_dir.filePath("gone1.R71"), fifo, good + "/fw1.R71"};
        if (!QFile(locked).open(QIODevice::ReadOnly))
            unreadable << locked;
        for (const QString& path : unreadable) {
            messages.clear();
            Browse(path);
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().contains(path), qPrintable(messages.first()));
            QCOMPARE(Form<QLineEdit>(1001)->text(), QString("good1.R71"));
            QCOMPARE(QString::fromStdString(Record().filePath), good);
            QCOMPARE(Record().fileName, std::string("good1.R71"));
            QCOMPARE(Form<QPlainTextEdit>(1004)->toPlainText(), preview);
            QVERIFY(Form<QPushButton>(1006)->isEnabled());
            if (path == fifo)
                QCOMPARE(messages.first(), fifo + " is not a regular file and cannot be an update file.");
        }

        // A directory is no update file either, and must not hang the form.
        QVERIFY(Start());
        Browse(m_dir.path());
        QCOMPARE(messages.size(), 1);
        QVERIFY(Form<QLineEdit>(1001)->text().isEmpty());
        QVERIFY(!Form<QPushButton>(1006)->isEnabled());
    }

    void settingsDialog_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<DialogEdit>("edit");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("useUsb");
        QTest::addColumn<uint>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("fastMode");
        const uint home = 0xC0A80001u;
        QTest::newRow("only digits typed or pasted") << 0 << DialogEdit([](auto* d) {
            TypePort(d, "8a0-");
            QApplication::clipboard()->setText("1x");
            QTest::keyClick(PortBox(d), Qt::Key_V, Qt::ControlModifier);
        }) << 1 << 0 << home << 80 << 1;
        QTest::newRow("blank fields give 0") << 0 << DialogEdit([](auto* d) {
            Address(d)->Field(1)->clear();
            Address(d)->Field(3)->clear();
        }) << 1 << 0 << 0xC0000000u << 8023 << 1;
        QTest::newRow("USB stores the locked address") << 0 << DialogEdit(TypeLinkThenChooseUsb) << 1 << 1
                                                       << 0x0A000019u << 80 << 1;
        QTest::newRow("fast transfer off") << 0 << DialogEdit([](auto* d) {
            QTest::mouseClick(Control<QCheckBox>(d, 1010), Qt::LeftButton);
        }) << 1 << 0 << home << 8023 << 0;
        QTest::newRow("Cancel changes nothing") << 0 << DialogEdit([](auto* d) {
            TypeLinkThenChooseUsb(d);
            Control<QCheckBox>(d, 1010)->setChecked(false);
        }) << 2 << 0 << home << 8023 << 1;
        QTest::newRow("RT23 forbids TCP/IP") << 1 << DialogEdit([](auto* d) {
            auto* tcp = Control<QRadioButton>(d, 1008);
            QVERIFY(!tcp->isChecked() && !tcp->isEnabled() && !Address(d)->isEnabled() && !PortBox(d)->isEnabled());
            QTest::mouseClick(tcp, Qt::LeftButton);
            QVERIFY(Control<QRadioButton>(d, 1009)->isChecked());
        }) << 1 << 1 << home << 8023 << 1;
    }

    void settingsDialog()
    {
        QFETCH(int, model);
        QFETCH(DialogEdit, edit);
        QFETCH(int, button);
        QFETCH(int, useUsb);
        QFETCH(uint, address);
        QFETCH(int, port);
        QFETCH(int, fastMode);
        View()->SelectModel(model);
        QVERIFY(DriveSettingsDialog(View(), edit, button));
        QCOMPARE(Link(Record()), std::tuple(useUsb, address, port, fastMode));
        QCOMPARE(Form<QLabel>(1007)->text(), QString::fromStdString(FormatLinkSummary(Record())));
        // The dialog opens on what was stored: OK without an edit changes nothing.
        QVERIFY(DriveSettingsDialog(View(), [](CCommSettingsDialog*) {}, 1));
        QCOMPARE(Link(Record()), std::tuple(useUsb, address, port, fastMode));
    }

    void newRestoresDefaultsKeepingThePath()
    {
        const QString path = m_dir.filePath("keep1.R71");
        WriteUpdateFile(path, 2);
        View()->SelectModel(4);
        Browse(path);
        QVERIFY(SetLocalLink(View(), 9));
        Record().fastMode = 0;
        const QString preview = Form<QPlainTextEdit>(1004)->toPlainText();

        QTest::keyClick(Frame(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(Link(Record()), std::tuple(0, 0xC0A80001u, 8023, 1));
        QCOMPARE(Record().modelIndex, 0);
        QCOMPARE(Form<QComboBox>(1000)->count(), 7);
        QCOMPARE(Form<QLabel>(1007)->text(), kDefaultSummary);
        QVERIFY(Record().fileName.empty());
        QCOMPARE(QString::fromStdString(Record().filePath), path);
        // What the form shows of the file is left as it was.
        QCOMPARE(Form<QLineEdit>(1001)->text(), QString("keep1.R71"));
        QCOMPARE(Form<QPlainTextEdit>(1004)->toPlainText(), preview);
        QVERIFY(Form<QPushButton>(1006)->isEnabled());
    }

    void acceleratorKeys()
    {
        // The edit keys and F6 are taken by the window, also inside its text boxes.
        auto* status = Form<QPlainTextEdit>(1005);
        CEditText log;
        log.SetText("Opening File...\r\nDetecting Target...\r\n");
        View()->Presenter().OnStatusLogChanged(log, LogChange{});
        QCOMPARE(status->toPlainText(), QString("Opening File...\nDetecting Target...\n"));
        QApplication::clipboard()->setText("untouched");
        status->setFocus();
        status->selectAll();
        QTest::keyClick(status, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(status, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("untouched"));
        QLineEdit* edit = Form<QComboBox>(1000)->lineEdit();
        edit->setFocus();
        const std::pair<Qt::Key, Qt::KeyboardModifier> inert[] = {
            {Qt::Key_V, Qt::ControlModifier},     {Qt::Key_Insert, Qt::ShiftModifier}, {Qt::Key_X, Qt::ControlModifier},
            {Qt::Key_Delete, Qt::ShiftModifier},  {Qt::Key_Z, Qt::ControlModifier},   {Qt::Key_F6, Qt::NoModifier},
            {Qt::Key_Backspace, Qt::AltModifier}, {Qt::Key_F6, Qt::ShiftModifier}};
        for (auto [key, modifier] : inert) {
            edit->selectAll();
            QTest::keyClick(edit, key, modifier);
            QCOMPARE(edit->text(), QString("RT71"));
        }

        // Ctrl+O acts from inside a text box too (Ctrl+S: the operator test).
        QTest::keyClick(status, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(chooserCalls, 1);
    }

    void bothLanguages_data()
    {
        QTest::addColumn<int>("language");
        // Start, Browse, the menus, the settings dialog's caption and fast transfer box
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("English") << int(Language::English)
                                 << QStringList{"Start", "Browse...", "&File", "&Settings", "&View", "&Help",
                                                "Communication Settings", "Enable Fast Transfer"};
        QTest::newRow("Japanese") << int(Language::Japanese)
                                  << QStringList{"開　　始", "参照...", "ﾌｧｲﾙ(&F)", "設定(&S)", "表示(&V)",
                                                 "ﾍﾙﾌﾟ(&H)", "転送設定", "USB高速転送を有効にする"};
    }

    void bothLanguages()
    {
        QFETCH(int, language);
        QFETCH(QStringList, texts);
        QVERIFY(Start(static_cast<Language>(language)));
        QStringList shown{Form<QPushButton>(1006)->text(), Form<QPushButton>(1002)->text()};
        for (QAction* menu : Frame()->menuBar()->actions())
            shown << menu->text();
        QVERIFY(DriveSettingsDialog(
            View(),
            [&](CCommSettingsDialog* d) { shown << d->windowTitle() << Control<QCheckBox>(d, 1010)->text(); }, 2));
        QCOMPARE(shown, texts);
        QCOMPARE(Frame()->windowTitle(), QString("Zorflash"));
        QCOMPARE(Form<QLabel>(1007)->text(), kDefaultSummary);

        // The form keeps the template's proportions in either font.
        const double ratio = double(View()->width()) / View()->height();
        QVERIFY2(std::abs(ratio - 252.0 / 256.0) < 0.15, qPrintable(QString::number(ratio)));

        // Closing is refused only while an update runs; when idle the window closes.
        QVERIFY(Frame()->close());
        QVERIFY(messages.isEmpty());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(CFormTest)
#include "FormTest.moc"
