#include "GuiTestSupport.h"

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

void WriteUpdateFile(const QString& path, int records, bool withEnd, const QByteArray& kind)
{
    QByteArray bytes = ("MORVENAL RT71 " + kind + " ROM").leftJustified(30, ' ') + "\r\n";
    bytes += QByteArray(16, '-') + "01" + QByteArray(6, '-');
    for (int section = kind == "SUB" ? 2 : 1; section > 0; --section) {
        for (int r = 0; r <= records; ++r) {  // record 0 is the START record
            const int n = 1 + (r * 7) % 200;
            unsigned sum = 0;
            bytes += static_cast<char>(n);
            for (int i = 0; i < 2 * n; ++i) {
                const char c = static_cast<char>((r + i * 13) & 0xFF);
                bytes += c;
                sum += static_cast<unsigned char>(c);
            }
            bytes += static_cast<char>(sum & 0xFF);
        }
        if (withEnd)
            bytes += '\0';
    }
    WriteBytes(path, bytes);
}

bool DriveSettingsDialog(CZorflashView* view, const std::function<void(CCommSettingsDialog*)>& edit,
                         int buttonId)
{
    bool found = false;
    QTimer::singleShot(0, view, [&] {
        if (auto* dialog = qobject_cast<CCommSettingsDialog*>(QApplication::activeModalWidget())) {
            found = true;
            edit(dialog);
            QTest::mouseClick(Control<QPushButton>(dialog, buttonId), Qt::LeftButton);
        }
    });
    // Whatever happens above, the modal loop ends.
    QTimer::singleShot(10000, view, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    view->OnSettings();
    return found;
}

bool SetLocalLink(CZorflashView* view, int port)
{
    return DriveSettingsDialog(
        view,
        [&](CCommSettingsDialog* dialog) {
            QTest::mouseClick(Control<QRadioButton>(dialog, 1008), Qt::LeftButton);
            auto* address = Control<CIPAddressCtrl>(dialog, 1012);
            address->ClearAddress();
            for (int i = 0; i < 4; ++i)
                QTest::keyClicks(address->Field(i), QStringList{"127", "0", "0", "1"}[i]);
            Control<QLineEdit>(dialog, 1013)->clear();
            QTest::keyClicks(Control<QLineEdit>(dialog, 1013), QString::number(port));
        },
        1);
}

void GuiSession::Stop()
{
    app.reset();
    SetUiLanguage(Language::English);
}

bool GuiSession::Start(Language language)
{
    app.reset();
    *this = GuiSession{};
    SetUiLanguage(language);
    app = std::make_unique<CZorflashApp>();
    if (!app->InitInstance())
        return false;
    View()->SetMessageBoxFunction([this](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                         QMessageBox::StandardButtons) {
        messages << text;
        messagesOnWindowThread << (QThread::currentThread() == qApp->thread());
        return answer;
    });
    View()->SetFileChooser([this](QWidget*, const QString&) {
        ++chooserCalls;
        return chosenFile;
    });
    return true;
}

void GuiSession::Browse(const QString& path)
{
    chosenFile = path;
    QTest::mouseClick(Form<QPushButton>(1002), Qt::LeftButton);
}
