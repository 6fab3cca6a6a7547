#pragma once

#include <QList>

#include <array>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace torvex {

// The main window's commands, in menu order.
enum class Command {
    NewScenario,
    OpenScenario,
    SaveScenario,
    SaveScenarioAs,
    OpenResults,
    SaveResults,
    Exit,
    Settings,
    ToggleToolBar,
    ToggleStatusBar,
    StartRecording,
    StopRecording,
    RunTest,
    StopTest,
    HelpContents,
    WebSite,
    Feedback,
    About,
    TipOfTheDay,
    Count
};

// The commands' actions with their texts, keys and icons, the menus that hold them and the
// toolbar that shows the most used ones with their text under the button.
struct FrameActions {
    explicit FrameActions(QMainWindow* window);

    QAction* operator[](Command command) const { return actions[static_cast<int>(command)]; }

    std::array<QAction*, static_cast<int>(Command::Count)> actions{};
    QMenu* fileMenu         = nullptr;
    QAction* recentFilesEnd = nullptr; // the separator before "E&xit"
    QToolBar* toolBar       = nullptr;
};

} // namespace torvex
