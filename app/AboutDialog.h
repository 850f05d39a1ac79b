#pragma once

#include <QDialog>

namespace zorflash {

// The program's name and version; closes with OK, Enter, Esc or its close box.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace zorflash
