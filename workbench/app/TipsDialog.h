#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;

namespace torvex {

// "Tip of the Day": shows the tips of a text file next to the program one after another, starting
// where the user stopped last time, with "Show tips on startup" kept in the user's settings.
class CTipsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CTipsDialog(QWidget* parent = nullptr);
    // The tips of another file (one tip a line, ';' starts a comment line).
    explicit CTipsDialog(const QString& tipsFile, QWidget* parent = nullptr);
    // Whether the program shows the dialog at start-up (on unless the user turned it off).
    static bool showAtStartup();

private:
    void showNextTip();

    QStringList tips_;
    QLabel* tipText_            = nullptr;
    QPushButton* nextTipButton_ = nullptr;
};

} // namespace torvex
