#include "app/TipsDialog.h"

#include "app/HelpFiles.h"

#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

namespace torvex {

namespace {

const QString kStartUpKey  = QStringLiteral("Tip/StartUp");
const QString kPositionKey = QStringLiteral("Tip/FilePos");

QSettings userSettings() {
    return QSettings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
}

// One tip per non-empty line; lines starting with ';' are comments. Empty when unreadable.
QStringList readTips(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QStringList tips;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(u';')) tips << line;
    }
    return tips;
}

QString missingTipsText(const QString& path) {
    if (!QFile::exists(path))
        return CTipsDialog::tr("The tips file %1 could not be found.").arg(path);
    return CTipsDialog::tr("The tips file %1 holds no tips.").arg(path);
}

} // namespace

CTipsDialog::CTipsDialog(QWidget* parent) : CTipsDialog(tipsFilePath(), parent) {}

CTipsDialog::CTipsDialog(const QString& tipsFile, QWidget* parent)
    : QDialog(parent), tips_(readTips(tipsFile)) {
    setWindowTitle(tr("Tip of the Day"));

    auto* bulb = new QLabel;
    bulb->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    bulb->setAlignment(Qt::AlignTop);

    auto* heading = new QLabel(tr("Did you know..."));
    QFont bold    = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);

    tipText_ = new QLabel;
    tipText_->setObjectName(QStringLiteral("tipText"));
    tipText_->setTextFormat(Qt::PlainText);
    tipText_->setWordWrap(true);
    tipText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tipText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tipText_->setMinimumSize(340, 110);

    auto* page = new QFrame;
    page->setFrameShape(QFrame::StyledPanel);
    page->setBackgroundRole(QPalette::Base);
    page->setAutoFillBackground(true);
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->addWidget(bulb);
    auto* textLayout = new QVBoxLayout;
    textLayout->addWidget(heading);
    textLayout->addWidget(tipText_, 1);
    pageLayout->addLayout(textLayout, 1);

    auto* showOnStartup = new QCheckBox(tr("&Show tips on startup"));
    showOnStartup->setObjectName(QStringLiteral("showOnStartup"));
    showOnStartup->setChecked(showAtStartup());
    connect(showOnStartup, &QCheckBox::toggled, this,
            [](bool on) { userSettings().setValue(kStartUpKey, on ? 1 : 0); });

    nextTipButton_ = new QPushButton(tr("&Next Tip"));
    nextTipButton_->setObjectName(QStringLiteral("nextTipButton"));
    connect(nextTipButton_, &QPushButton::clicked, this, &CTipsDialog::showNextTip);
    auto* closeButton = new QPushButton(tr("&Close"));
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(showOnStartup);
    buttons->addStretch();
    buttons->addWidget(nextTipButton_);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page, 1);
    layout->addLayout(buttons);

    if (tips_.isEmpty()) {
        tipText_->setText(missingTipsText(tipsFile));
        nextTipButton_->setEnabled(false);
    } else {
        showNextTip();
    }
}

bool CTipsDialog::showAtStartup() {
    return userSettings().value(kStartUpKey, 1).toBool();
}

// Shows the tip at the remembered position and remembers the one after it, wrapping at the end
// (also when the file has become shorter since).
void CTipsDialog::showNextTip() {
    QSettings settings         = userSettings();
    const qsizetype remembered = settings.value(kPositionKey, 0).toLongLong();
    const qsizetype position   = remembered >= 0 && remembered < tips_.size() ? remembered : 0;
    tipText_->setText(tips_[position]);
    settings.setValue(kPositionKey, (position + 1) % tips_.size());
}

} // namespace torvex
