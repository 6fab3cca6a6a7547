#include "runner/ReportPatternDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include <utility>

namespace torvex {
namespace {

constexpr int kMaxPatternLength = 270;

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// The macro, then what it stands for; the tab lines the meanings up in a column.
QMenu* createMacroMenu(QWidget* parent) {
    const struct {
        const char* macro;
        const char* meaning;
    } kMacros[] = {
        {"%n", QT_TR_NOOP("scenario name")}, {"%c", QT_TR_NOOP("users")},
        {"%r", QT_TR_NOOP("iterations")},    {"%y", QT_TR_NOOP("year")},
        {"%m", QT_TR_NOOP("month")},         {"%d", QT_TR_NOOP("day")},
        {"%t", QT_TR_NOOP("time")},          {"%%", QT_TR_NOOP("percent sign")},
    };
    auto* menu = new QMenu(parent);
    for (const auto& each : kMacros) {
        const QString macro = QString::fromLatin1(each.macro);
        menu->addAction(macro + QLatin1Char('\t') + CReportPatternDialog::tr(each.meaning))
            ->setData(macro);
    }
    return menu;
}

} // namespace

QString expandReportName(const QString& pattern, const ReportNameParts& parts,
                         const QDateTime& now) {
    const QDate date = now.date();
    const QTime time = now.time();
    QString name;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != QLatin1Char('%')) {
            name += pattern[i];
            continue;
        }
        if (++i == pattern.size()) break;
        switch (pattern[i].unicode()) {
        case '%':
            name += QLatin1Char('%');
            break;
        case 'c':
            name += QString::number(parts.users);
            break;
        case 'd':
            name += twoDigits(date.day());
            break;
        case 'm':
            name += twoDigits(date.month());
            break;
        case 't':
            name += twoDigits(time.hour()) + twoDigits(time.minute()) + twoDigits(time.second());
            break;
        case 'y':
            name += QString::number(date.year());
            break;
        case 'n':
            name += parts.scenarioName;
            break;
        case 'r':
            name += QString::number(parts.iterations);
            break;
        default:
            break;
        }
    }
    return name;
}

CReportPatternDialog::CReportPatternDialog(const QString& pattern, ReportNameParts parts,
                                           QWidget* parent)
    : QDialog(parent), parts_(std::move(parts)) {
    setWindowTitle(tr("Edit Pattern"));

    pattern_ = new QLineEdit(pattern);
    pattern_->setObjectName(QStringLiteral("pattern"));
    pattern_->setMaxLength(kMaxPatternLength);
    pattern_->setMinimumWidth(pattern_->fontMetrics().averageCharWidth() * 40);

    auto* insert = new QToolButton;
    insert->setObjectName(QStringLiteral("insertMacro"));
    insert->setText(QStringLiteral(">"));
    insert->setToolTip(tr("Insert macro"));
    insert->setPopupMode(QToolButton::InstantPopup);
    insert->setMenu(createMacroMenu(insert));
    connect(insert->menu(), &QMenu::triggered, this,
            [this](QAction* action) { insertMacro(action->data().toString()); });

    example_ = new QLabel;
    example_->setObjectName(QStringLiteral("example"));
    example_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    example_->setTextFormat(Qt::PlainText);

    auto* label = new QLabel(tr("&Pattern:"));
    label->setBuddy(pattern_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(pattern_, 0, 1);
    layout->addWidget(insert, 0, 2);
    layout->addWidget(new QLabel(tr("Example:")), 1, 0);
    layout->addWidget(example_, 1, 1, 1, 2);
    layout->addWidget(buttons, 2, 0, 1, 3);
    layout->setColumnStretch(1, 1);

    connect(pattern_, &QLineEdit::textChanged, this, &CReportPatternDialog::showExample);
    showExample();
}

QString CReportPatternDialog::pattern() const {
    return pattern_->text();
}

void CReportPatternDialog::insertMacro(const QString& macro) {
    pattern_->insert(macro);
    pattern_->setFocus();
}

void CReportPatternDialog::showExample() {
    example_->setText(expandReportName(pattern_->text(), parts_, QDateTime::currentDateTime()));
}

} // namespace torvex
