#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace torvex {

// "Sequence Editor": edits one of a scenario's three request sequences by picking names from the
// scenario's requests. The caller fills the caption, the choices and the sequence, runs it
// modally and, on OK, stores sequence() into the scenario.
class CSequenceEditorDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSequenceEditorDialog(QWidget* parent = nullptr);

    // "&Initial sequence:", "&Main sequence:" or "&Final sequence:".
    void setCaption(const QString& caption);
    // The names of all requests in list order; empty names are not shown.
    void setChoices(const std::vector<std::string>& names);
    // The sequence being edited; empty names are not shown.
    void setSequence(const std::vector<std::string>& names);
    // The sequence as given, or after OK the sequence list's rows in order.
    std::vector<std::string> sequence() const { return sequence_; }

    // Stores the sequence list's rows into sequence().
    void accept() override;

private:
    QPushButton* createButton(const QString& text, const QString& toolTip, const char* name);
    void addSelected();
    void removeSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    void moveRow(int from, int to);
    void enableButtons();

    std::vector<std::string> sequence_;
    QLabel* caption_;
    QListWidget* choices_;
    QListWidget* sequenceList_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
};

} // namespace torvex
