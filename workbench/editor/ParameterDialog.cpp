#include "editor/ParameterDialog.h"

#include "model/ReqParam.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace torvex {
namespace {

constexpr int kMaxNameLength = 256;
constexpr int kMaxTextLength = 1024;

QLineEdit* field(const char* name, const QString& text, int maxLength) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setText(text);
    return edit;
}

// A lone static text as it was typed; any other formula in its display form.
std::string editableText(const CReqParam& parameter) {
    const std::vector<CReqParamFunction>& components = parameter.components;
    if (components.size() == 1 && components.front().kind() == CReqParamFunction::kStatic)
        return components.front().text();
    return parameter.valueText(true, "&");
}

} // namespace

bool editParameter(CReqParam& parameter, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Parameter Value Dynamic Calculation"));
    QLineEdit* name =
        field("parameterName", QString::fromStdString(parameter.name), kMaxNameLength);
    QLineEdit* value =
        field("parameterValue", QString::fromStdString(editableText(parameter)), kMaxTextLength);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("&Name:"), name);
    layout->addRow(QStringLiteral("&Static text"), value);
    layout->addRow(buttons);
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return false;

    CReqParamFunction text;
    text.setKind(CReqParamFunction::kStatic);
    text.setText(value->text().toStdString());
    parameter.name       = name->text().toStdString();
    parameter.components = {text};
    return true;
}

} // namespace torvex
