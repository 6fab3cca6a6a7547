#include "app/TorvexApp.h"

#include "app/DataFolders.h"
#include "app/MainFrame.h"
#include "app/SplashScreen.h"
#include "app/Workbench.h"

#include <QCoreApplication>
#include <QTimer>

namespace torvex {

CTorvexApp::CTorvexApp() = default;

CTorvexApp::~CTorvexApp() {
    frame_.reset();
    splash_.reset();
    if (!workbench_) return;
    workbench_->recorder.EndRecording();
    workbench_->recorder.Detach();
    workbench_->runner.Shutdown();
}

bool CTorvexApp::start(const QStringList& arguments) {
    QCoreApplication::setOrganizationName(QStringLiteral("Mekora"));
    QCoreApplication::setApplicationName(QStringLiteral("Torvex"));
    splash_ = std::make_unique<CSplashScreen>();

    workbench_ = std::make_unique<Workbench>();
    workbench_->recorder.Detach();
    workbench_->runner.Initialize(workbench_->notifier);

    // New scenarios log and report into the user's data folder.
    setDefaultFolders(userDataFolders());
    workbench_->document.reinitialize();
    frame_ = std::make_unique<CMainFrame>(*workbench_);
    frame_->setSplashScreen(splash_.get());
    splash_->showForAWhile();
    frame_->show();

    QString file;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) file = argument;
    }
    // The rest waits until the window is on the screen, as the user sees it.
    QTimer::singleShot(0, frame_.get(), [this, file] {
        frame_->firstDisplay();
        if (!file.isEmpty()) frame_->openFromCommandLine(file);
    });
    return true;
}

} // namespace torvex
