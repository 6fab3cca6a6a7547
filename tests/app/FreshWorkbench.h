#pragma once

#include "app/Workbench.h"

#include <QSettings>

#include <memory>

namespace torvex::test {

// The program's lasting state as it starts: empty settings (without the tips at start-up, whose
// dialog would wait for an answer), the run controller ready and a new scenario.
inline std::unique_ptr<Workbench> freshWorkbench() {
    QSettings settings(QStringLiteral("Mekora"), QStringLiteral("Torvex"));
    settings.clear();
    settings.setValue(QStringLiteral("Tip/StartUp"), false);
    auto workbench = std::make_unique<Workbench>();
    workbench->runner.Initialize(workbench->notifier);
    workbench->document.reinitialize();
    return workbench;
}

} // namespace torvex::test
