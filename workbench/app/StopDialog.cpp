#include "app/StopDialog.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace torvex {

StopDialog::StopDialog(std::function<bool()> stillRunning, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      stillRunning_(std::move(stillRunning)) {
    setWindowTitle(QStringLiteral("Torvex"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please, wait a run stopping..."), this));
    layout->setContentsMargins(24, 18, 24, 18);

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (!stillRunning_()) accept();
    });
    timer->start(500);
}

} // namespace torvex
