#include "GuiTestSupport.h"

#include "ui/CommSettingsDialog.h"
#include "ui/IPAddressCtrl.h"
#include "ui/ZorflashView.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

void WriteBytes(const QString& path, const std::string& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void WriteUpdateFile(const QString& path, int records, bool withEnd)
{
    std::string bytes = "MORVENAL RT71 MAIN ROM";
    bytes.resize(30, ' ');
    bytes += "\r\n";
    bytes += std::string(16, '-');
    bytes += "01";
    bytes += std::string(6, '-');
    for (int r = 0; r <= records; ++r) {  // record 0 is the START record
        const int n = 1 + (r * 7) % 200;
        std::string data;
        unsigned sum = 0;
        for (int i = 0; i < 2 * n; ++i) {
            const char c = static_cast<char>((r + i * 13) & 0xFF);
            data += c;
            sum += static_cast<unsigned char>(c);
        }
        bytes += static_cast<char>(n);
        bytes += data;
        bytes += static_cast<char>(sum & 0xFF);
    }
    if (withEnd)
        bytes += '\0';
    WriteBytes(path, bytes);
}

bool DriveSettingsDialog(CZorflashView* view, const std::function<void(CCommSettingsDialog*)>& edit,
                         int buttonId)
{
    bool found = false;
    QTimer::singleShot(0, view, [&] {
        auto* dialog = qobject_cast<CCommSettingsDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        found = true;
        edit(dialog);
        QTest::mouseClick(Control<QPushButton>(dialog, buttonId), Qt::LeftButton);
    });
    // Whatever happens above, the modal loop ends.
    QTimer::singleShot(10000, view, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    view->OnSettings();
    return found;
}

bool SetTcpLink(CZorflashView* view, const QString& address, int port)
{
    return DriveSettingsDialog(
        view,
        [&](CCommSettingsDialog* dialog) {
            QTest::mouseClick(Control<QRadioButton>(dialog, 1008), Qt::LeftButton);
            auto* ip = Control<CIPAddressCtrl>(dialog, 1012);
            const QStringList octets = address.split('.');
            for (int i = 0; i < 4; ++i) {
                ip->Field(i)->clear();
                QTest::keyClicks(ip->Field(i), octets.value(i));
            }
            auto* portBox = Control<QLineEdit>(dialog, 1013);
            portBox->clear();
            QTest::keyClicks(portBox, QString::number(port));
        },
        1);
}
