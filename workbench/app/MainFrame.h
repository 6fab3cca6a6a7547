#pragma once

#include "app/FrameActions.h"
#include "app/ProgressDisplay.h"
#include "app/RecentFiles.h"

#include <QMainWindow>

#include <array>

class QStackedWidget;

namespace torvex {

class CNavigationBar;
class CResizingFormView;
class CSplashScreen;
struct Workbench;

// The kinds of work view, numbered as the navigation bar and the layout store know them.
enum ViewKind {
    kRecorderView = 1,
    kEditorView,
    kRunnerView,
    kReportView,
    kGraphsView,
    kBatchGraphsView
};

// The main window: menus, toolbar, status bar with the run's progress, the navigation bar, and
// the six work views of which one is visible. It carries out the commands on the open scenario,
// the results and the run, and follows what the run controller reports.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(Workbench& workbench, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Shows the view of `kind` (1 to 6) and opens its navigation group.
    void SwitchView(int kind);
    int currentView() const { return currentKind_; }
    CResizingFormView* view(int kind) const { return views_[kind - 1]; }
    CNavigationBar* navigationBar() const { return navigation_; }
    QAction* action(Command command) const { return actions_[command]; }
    ProgressDisplay& progress() { return progress_; }
    bool isRecording() const { return recordingMark_; }

    // The start-up picture, closed by the first display when the wizards must run.
    void setSplashScreen(CSplashScreen* splash) { splash_ = splash; }
    // Shows the window with its saved state and does what the first start needs; called once,
    // after the window was shown.
    void firstDisplay();
    // A scenario (".tvs") or results file (".rlt") named on the command line.
    void openFromCommandLine(const QString& path);

    // The document commands without their file dialogs.
    void newScenario();
    // The new scenario wizard on the freshly reset scenario; its Finish sets the scenario up.
    void runScenarioWizard();
    bool openScenario(const QString& path);
    bool saveScenarioTo(const QString& path);
    bool openResults(const QString& path);
    bool saveResults(const QString& path);
    // Asks "Save changes to ...?" when the scenario is modified; false when the user cancels or
    // the save fails.
    bool saveModified();

    // The commands' enabling after the recording, the run or the results changed.
    void updateCommands();
    // The window title and its modified mark after the document changed.
    void updateTitle();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createViews();
    // The open scenario's request list takes the captures; the Recorder hears of them.
    void attachRecorder();
    void showReadyWhenIdle();
    void connectPaneKeys();
    void showInGroup(int group, int kind);
    void connectCommands();
    void connectRunNotifications();
    void restoreGeometry();
    void saveGeometry();
    void rebuildRecentFiles();
    void resetViews();
    void onNavigationItem(int item);
    void switchToRecorderFromNavigation();
    void runCurrentScenario();
    void stopRun();
    void startRecording();
    void stopRecording();
    bool saveScenario();
    bool saveScenarioAs();
    void openScenarioWithDialog();
    void openResultsWithDialog();
    void saveResultsWithDialog();
    void showHelp();

    Workbench& workbench_;
    FrameActions actions_;
    CNavigationBar* navigation_;
    QStackedWidget* stack_;
    std::array<CResizingFormView*, 6> views_{};
    ProgressDisplay progress_;
    RecentFiles recentFiles_;
    QList<QAction*> recentActions_;
    CSplashScreen* splash_ = nullptr;
    int currentKind_       = kEditorView;
    int navigationGroup_   = 0;
    bool recordingMark_    = false;
};

} // namespace torvex
