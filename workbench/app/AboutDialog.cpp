#include "app/AboutDialog.h"

#include "app/FeedbackMail.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace torvex {

namespace {

// The program's mark: a "T" on the colours of the splash screen.
QPixmap paintBadge() {
    constexpr int kSize = 56;
    QPixmap badge(kSize, kSize);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, kSize, kSize);
    background.setColorAt(0.0, QColor(18, 42, 86));
    background.setColorAt(1.0, QColor(22, 128, 140));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(badge.rect(), 10, 10);
    QFont letter = painter.font();
    letter.setPixelSize(38);
    letter.setBold(true);
    painter.setFont(letter);
    painter.setPen(Qt::white);
    painter.drawText(badge.rect(), Qt::AlignCenter, QStringLiteral("T"));
    return badge;
}

} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Torvex"));

    auto* icon = new QLabel;
    icon->setPixmap(paintBadge());
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("Torvex v2.0"));
    QFont big  = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);

    auto* description = new QLabel(tr("Load testing for web sites and web applications."));

    const QString address = QLatin1String(kWebSiteAddress);
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(description);
    text->addSpacing(8);
    text->addWidget(link);

    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addSpacing(12);
    body->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace torvex
