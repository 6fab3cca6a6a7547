#include "editor/MacroIPAddressCtrl.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace torvex {
namespace {

constexpr int kFieldCount  = 4;
constexpr int kFieldLength = 3;
constexpr int kMaxNumber   = 255;

bool isMacroStart(const QString& text) {
    for (const char* macro : {"$C1", "$C2", "$R1", "$R2"})
        if (QString::fromLatin1(macro).startsWith(text)) return true;
    return false;
}

bool isNumber(const QString& text) {
    if (text.isEmpty() || text.size() > kFieldLength) return false;
    for (QChar each : text)
        if (!each.isDigit() || each.unicode() > '9') return false;
    return true;
}

// The field's text with the selection (or nothing, at the cursor) replaced by `typed`.
QString withTyped(const QLineEdit* field, QChar typed) {
    QString text = field->text();
    if (field->hasSelectedText()) {
        text.replace(field->selectionStart(), field->selectedText().size(), typed);
    } else {
        text.insert(field->cursorPosition(), typed);
    }
    return text;
}

// Shows the field's new text with the cursor just after the typed character.
void showTyped(QLineEdit* field, const QString& text) {
    const int cursor =
        (field->hasSelectedText() ? field->selectionStart() : field->cursorPosition()) + 1;
    field->setText(text);
    field->setCursorPosition(cursor);
}

} // namespace

CMacroIPAddressCtrl::CMacroIPAddressCtrl(QWidget* parent) : QWidget(parent) {
    // Pasted text is held to the same forms as typed text.
    auto* validator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,3}|\\$([CR][12]?)?")), this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("$C2")) + 14;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) layout->addWidget(new QLabel(QStringLiteral("."), this));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->setMaxLength(kFieldLength);
        field->setValidator(validator);
        field->setAlignment(Qt::AlignCenter);
        field->setMinimumWidth(width);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, [this] {
            if (!settingText_) emit fieldChanged();
        });
        layout->addWidget(field, 1);
        fields_[static_cast<std::size_t>(i)] = field;
    }
    setFocusProxy(fields_[0]);
}

QString CMacroIPAddressCtrl::text() const {
    QStringList parts;
    for (const QLineEdit* field : fields_) parts << field->text();
    QString joined = parts.join(QLatin1Char('.'));
    while (joined.endsWith(QLatin1Char('.'))) joined.chop(1);
    return joined;
}

void CMacroIPAddressCtrl::setText(const QString& text) {
    settingText_ = true;
    QString rest = text;
    for (int i = kFieldCount - 1; i >= 0; --i) {
        const qsizetype dot = rest.lastIndexOf(QLatin1Char('.'));
        fields_[static_cast<std::size_t>(i)]->setText(rest.mid(dot + 1).left(kFieldLength));
        rest = dot < 0 ? QString() : rest.left(dot);
    }
    settingText_ = false;
}

int CMacroIPAddressCtrl::indexOf(const QObject* watched) const {
    for (int i = 0; i < kFieldCount; ++i)
        if (fields_[static_cast<std::size_t>(i)] == watched) return i;
    return -1;
}

void CMacroIPAddressCtrl::focusField(int index) {
    if (index < 0 || index >= kFieldCount) return;
    QLineEdit* next = fields_[static_cast<std::size_t>(index)];
    next->setFocus(Qt::OtherFocusReason);
    next->selectAll();
}

bool CMacroIPAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key              = static_cast<QKeyEvent*>(event);
    const QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    // The arrows and Backspace cross into the neighbouring field at the field's edges.
    if (key->key() == Qt::Key_Left && field->cursorPosition() == 0 && index > 0) {
        fields_[static_cast<std::size_t>(index - 1)]->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (key->key() == Qt::Key_Right && field->cursorPosition() == field->text().size()) {
        focusField(index + 1);
        return index + 1 < kFieldCount;
    }
    if (key->key() == Qt::Key_Backspace && field->cursorPosition() == 0 &&
        !field->hasSelectedText() && index > 0) {
        QLineEdit* previous = fields_[static_cast<std::size_t>(index - 1)];
        previous->setFocus(Qt::OtherFocusReason);
        previous->end(false);
        return true;
    }
    const QString typed = key->text();
    if (typed.size() != 1 || !typed[0].isPrint() || key->modifiers() & Qt::ControlModifier)
        return QWidget::eventFilter(watched, event);
    return typeCharacter(index, typed[0].toUpper());
}

bool CMacroIPAddressCtrl::typeCharacter(int index, QChar typed) {
    QLineEdit* field   = fields_[static_cast<std::size_t>(index)];
    const QString text = withTyped(field, typed);
    if (!isMacroStart(text)) return typeNumber(index, typed);
    showTyped(field, text); // tells the parent through textChanged
    if (text.size() > 2) focusField(index + 1);
    return true;
}

// Digits make a number of up to three; a full field moves on, and a number above 255 is held
// there. A dot or a space moves on. Anything else is refused.
bool CMacroIPAddressCtrl::typeNumber(int index, QChar typed) {
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    if (typed == QLatin1Char('.') || typed == QLatin1Char(' ')) {
        if (!field->text().isEmpty()) focusField(index + 1);
        return true;
    }
    const QString text = withTyped(field, typed);
    if (!isNumber(text)) return true;
    showTyped(field, text.toInt() > kMaxNumber ? QString::number(kMaxNumber) : text);
    if (text.size() == kFieldLength) focusField(index + 1);
    return true;
}

} // namespace torvex
