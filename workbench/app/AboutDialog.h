#pragma once

#include <QDialog>

namespace torvex {

// "About Torvex": the program, its version and where to find more.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

} // namespace torvex
