#pragma once

#include <QWidget>

#include <array>

class QLineEdit;

namespace torvex {

// A four-field address editor whose fields take a number from 0 to 255 or one of the address
// macros "$C1", "$C2", "$R1", "$R2" that the engine replaces per virtual user. Typed letters are
// upper-cased; a field that completes a macro hands the focus to the next one.
class CMacroIPAddressCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CMacroIPAddressCtrl(QWidget* parent = nullptr);

    // The fields joined with "." with trailing dots trimmed.
    QString text() const;
    // Splits `text` at its dots from the right: the last piece goes to the fourth field.
    void setText(const QString& text);
    // The field at `index` (0 to 3), named "field0" to "field3".
    QLineEdit* field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

signals:
    // The user changed a field's text.
    void fieldChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(const QObject* watched) const;
    // A printable character typed into field `index`; true when it was taken or refused here.
    bool typeCharacter(int index, QChar typed);
    bool typeNumber(int index, QChar typed);
    void focusField(int index);

    std::array<QLineEdit*, 4> fields_{};
    bool settingText_ = false;
};

} // namespace torvex
