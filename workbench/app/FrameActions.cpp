#include "app/FrameActions.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace torvex {
namespace {

struct CommandText {
    Command command;
    const char* menuText;
    const char* toolBarText; // nullptr: not on the toolbar
    QKeySequence keys;
    QStyle::StandardPixmap icon;
};

const CommandText kCommands[] = {
    {Command::NewScenario, "&New Scenario", "New", QKeySequence(QStringLiteral("Ctrl+N")),
     QStyle::SP_FileIcon},
    {Command::OpenScenario, "&Open Scenario...", "Open", QKeySequence(QStringLiteral("Ctrl+O")),
     QStyle::SP_DialogOpenButton},
    {Command::SaveScenario, "&Save Scenario", "Save", QKeySequence(QStringLiteral("Ctrl+S")),
     QStyle::SP_DialogSaveButton},
    {Command::SaveScenarioAs, "Save Scenario &As...", nullptr, {}, QStyle::SP_CustomBase},
    {Command::OpenResults, "O&pen Results...", "Open Results", {}, QStyle::SP_DirOpenIcon},
    {Command::SaveResults, "Save &Results...", "Save Results", {}, QStyle::SP_DriveFDIcon},
    {Command::Exit, "E&xit", nullptr, {}, QStyle::SP_CustomBase},
    {Command::Settings, "&Settings...", nullptr, {}, QStyle::SP_CustomBase},
    {Command::ToggleToolBar, "&Toolbar", nullptr, {}, QStyle::SP_CustomBase},
    {Command::ToggleStatusBar, "&Status Bar", nullptr, {}, QStyle::SP_CustomBase},
    {Command::StartRecording, "Start &Recording", "Start Rec", {}, QStyle::SP_DialogYesButton},
    {Command::StopRecording, "&Stop Recording", "Stop Rec", {}, QStyle::SP_DialogNoButton},
    {Command::RunTest, "R&un Test", "Run Test", {}, QStyle::SP_MediaPlay},
    {Command::StopTest, "S&top Test", "Stop Test", {}, QStyle::SP_MediaStop},
    {Command::HelpContents, "&Contents", "Help", QKeySequence(QStringLiteral("F1")),
     QStyle::SP_DialogHelpButton},
    {Command::WebSite, "&Torvex on the Web...", nullptr, {}, QStyle::SP_CustomBase},
    {Command::Feedback, "Send &Feedback...", nullptr, {}, QStyle::SP_CustomBase},
    {Command::About, "&About Torvex...", nullptr, {}, QStyle::SP_CustomBase},
    {Command::TipOfTheDay, "Ti&p of the Day...", nullptr, {}, QStyle::SP_CustomBase},
};

// Menu contents; Count marks a separator.
const Command kFileMenu[]  = {Command::NewScenario,    Command::OpenScenario, Command::SaveScenario,
                              Command::SaveScenarioAs, Command::Count,        Command::OpenResults,
                              Command::SaveResults};
const Command kEditMenu[]  = {Command::Settings};
const Command kViewMenu[]  = {Command::ToggleToolBar, Command::ToggleStatusBar};
const Command kToolsMenu[] = {Command::StartRecording, Command::StopRecording, Command::Count,
                              Command::RunTest, Command::StopTest};
const Command kHelpMenu[]  = {Command::HelpContents, Command::Count, Command::WebSite,
                              Command::Feedback,     Command::Count, Command::TipOfTheDay,
                              Command::About};
const Command kToolBar[]   = {Command::NewScenario, Command::OpenScenario,   Command::SaveScenario,
                              Command::Count,       Command::OpenResults,    Command::SaveResults,
                              Command::Count,       Command::StartRecording, Command::StopRecording,
                              Command::Count,       Command::RunTest,        Command::StopTest,
                              Command::Count,       Command::HelpContents};

template <typename Target, std::size_t N>
void fill(Target* target, const Command (&commands)[N], const FrameActions& actions) {
    for (Command command : commands) {
        if (command == Command::Count) {
            target->addSeparator();
        } else {
            target->addAction(actions[command]);
        }
    }
}

} // namespace

FrameActions::FrameActions(QMainWindow* window) {
    QStyle* style = QApplication::style();
    for (const CommandText& text : kCommands) {
        auto* action = new QAction(QString::fromUtf8(text.menuText), window);
        action->setShortcut(text.keys);
        if (text.icon != QStyle::SP_CustomBase) action->setIcon(style->standardIcon(text.icon));
        // The toolbar shows the short text under the button; the menu the full one.
        if (text.toolBarText) action->setIconText(QString::fromUtf8(text.toolBarText));
        actions[static_cast<int>(text.command)] = action;
    }
    (*this)[Command::ToggleToolBar]->setCheckable(true);
    (*this)[Command::ToggleStatusBar]->setCheckable(true);

    QMenuBar* menus = window->menuBar();
    fileMenu        = menus->addMenu(QStringLiteral("&File"));
    fill(fileMenu, kFileMenu, *this);
    recentFilesEnd = fileMenu->addSeparator();
    fileMenu->addAction((*this)[Command::Exit]);
    fill(menus->addMenu(QStringLiteral("&Edit")), kEditMenu, *this);
    fill(menus->addMenu(QStringLiteral("&View")), kViewMenu, *this);
    fill(menus->addMenu(QStringLiteral("&Tools")), kToolsMenu, *this);
    fill(menus->addMenu(QStringLiteral("&Help")), kHelpMenu, *this);

    toolBar = window->addToolBar(QStringLiteral("Toolbar"));
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setIconSize(QSize(20, 20));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setMovable(false);
    fill(toolBar, kToolBar, *this);
}

} // namespace torvex
