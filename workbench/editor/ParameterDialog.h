#pragma once

#include "editor/FunctionKinds.h"
#include "model/ReqParamFunction.h"

#include <QDialog>

#include <array>
#include <optional>
#include <vector>

class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace torvex {

class CReqParam;
class IntegerSpinEdit;

// "Parameter Value Dynamic Calculation": edits a parameter's name and its value formula, an ordered
// list of components each of one function kind. It works on copies of the components and hands
// them to the parameter only on OK; Cancel leaves the parameter as it was.
class CParameterDialog : public QDialog {
    Q_OBJECT
public:
    explicit CParameterDialog(CReqParam& parameter, QWidget* parent = nullptr);

    // Checks the numbers shown, then gives the parameter the name and the copies in row order.
    void accept() override;

private:
    // What the fields take.
    static constexpr int kMaxNameLength = 256;
    static constexpr int kMaxTextLength = 1024;
    static constexpr qint64 kMaxNumber  = 2147483647;

    // Building the window.
    QWidget* createComponentsPane();
    QWidget* createFunctionsPane();
    QGroupBox* createFieldsGroup();
    QWidget* createField(FunctionField field);

    // Reactions to the user.
    void componentSelected();
    void functionSelected();
    void fieldEdited();
    void listEdited();
    void numberLeft(FunctionField field);
    void addComponent();
    void deleteComponent();
    void moveComponent(int by);

    // The selected component row, or -1.
    int selectedRow() const;
    // Shows the chosen kind's fields with the current component's values when it has that kind.
    void showFunction();
    void hideFields();
    // The number typed into a field; none after telling the user what is wrong with it.
    std::optional<std::uint32_t> checkedNumber(FunctionField field, bool complain);
    void renumberRows();
    void rebuildFormula();
    void enableControls();

    CReqParam& parameter_;
    std::vector<CReqParamFunction> copies_; // one per component row, in row order
    int current_    = -1;                   // the current component's row
    int chosenKind_ = -1;                   // the selected function row
    bool ready_     = false;
    bool filling_   = false; // fields are being set by the dialog, not typed
    int listLimit_  = 0;     // characters the list may hold

    QLineEdit* name_         = nullptr;
    QLineEdit* formula_      = nullptr;
    QListWidget* components_ = nullptr;
    QPushButton* add_        = nullptr;
    QPushButton* delete_     = nullptr;
    QPushButton* up_         = nullptr;
    QPushButton* down_       = nullptr;
    QListWidget* functions_  = nullptr;
    QGroupBox* fieldsGroup_  = nullptr;
    QFormLayout* fieldsForm_ = nullptr;
    QLabel* description_     = nullptr;
    QPlainTextEdit* list_    = nullptr;
    std::array<QWidget*, kFunctionFieldCount> fields_{};
};

// Edits the parameter in the dialog, modally; true on OK.
bool editParameter(CReqParam& parameter, QWidget* parent);

} // namespace torvex
