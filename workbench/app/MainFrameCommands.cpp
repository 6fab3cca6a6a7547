// The main window's commands: documents, results, runs, recording and help.
#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/FeedbackMail.h"
#include "app/HelpFiles.h"
#include "app/NavigationBar.h"
#include "app/ResizingFormView.h"
#include "app/SettingsDialog.h"
#include "app/TipsDialog.h"
#include "app/Workbench.h"
#include "editor/EditorFormView.h"
#include "recorder/RecorderFormView.h"
#include "results/ReportFormView.h"
#include "runner/RunChecks.h"
#include "runner/RunnerFormView.h"
#include "wizards/ScenarioWizard.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace torvex {
namespace {

const QString kScenarioFilter = QStringLiteral("Torvex Scenario (*.tvs);;All Files (*)");
const QString kResultsFilter  = QStringLiteral("Result Files (*.rlt);;All Files (*)");

QString withExtension(const QString& path, const QString& extension) {
    return QFileInfo(path).suffix().isEmpty() ? path + extension : path;
}

} // namespace

void CMainFrame::connectCommands() {
    auto on = [this](Command command, auto handler) {
        connect(actions_[command], &QAction::triggered, this, handler);
    };
    on(Command::NewScenario, [this] {
        if (!saveModified()) return;
        newScenario();
        runScenarioWizard();
    });
    on(Command::OpenScenario, [this] { openScenarioWithDialog(); });
    on(Command::SaveScenario, [this] { saveScenario(); });
    on(Command::SaveScenarioAs, [this] { saveScenarioAs(); });
    on(Command::OpenResults, [this] { openResultsWithDialog(); });
    on(Command::SaveResults, [this] { saveResultsWithDialog(); });
    on(Command::Exit, [this] { close(); });
    on(Command::Settings,
       [this] { CSettingsDialog(workbench_.settings, workbench_.settingsStore, this).exec(); });
    on(Command::ToggleToolBar, [this](bool shown) { actions_.toolBar->setVisible(shown); });
    on(Command::ToggleStatusBar, [this](bool shown) { statusBar()->setVisible(shown); });
    on(Command::StartRecording, [this] { startRecording(); });
    on(Command::StopRecording, [this] { stopRecording(); });
    on(Command::RunTest, [this] { runCurrentScenario(); });
    on(Command::StopTest, [this] { stopRun(); });
    on(Command::HelpContents, [this] { showHelp(); });
    on(Command::WebSite,
       [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kWebSiteAddress))); });
    on(Command::Feedback, [] { QDesktopServices::openUrl(feedbackMailUrl(systemDescription())); });
    on(Command::About, [this] { CAboutDialog(this).exec(); });
    on(Command::TipOfTheDay, [this] { CTipsDialog(this).exec(); });
}

bool CMainFrame::saveModified() {
    CHexmillLEDoc& document = workbench_.document;
    if (!document.modified()) return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QStringLiteral("Torvex"),
        QStringLiteral("Save changes to %1?").arg(QString::fromStdString(document.pathName())),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    return saveScenario();
}

void CMainFrame::newScenario() {
    stopRecording();
    workbench_.runner.results().Clear();
    workbench_.document.reinitialize();
    attachRecorder();
    resetViews();
    SwitchView(kRecorderView);
    updateTitle();
    updateCommands();
}

void CMainFrame::runScenarioWizard() {
    CWizardDlg wizard(workbench_.document.scenario(), this);
    if (wizard.exec() == QDialog::Accepted) {
        // The answers live only in memory until saved, so closing asks to save them.
        workbench_.document.setModified();
        resetViews();
        updateTitle();
        updateCommands();
        return;
    }
    if (wizard.createDefaultChosen() && saveModified()) newScenario();
}

bool CMainFrame::openScenario(const QString& path) {
    if (!saveModified()) return false;
    stopRecording();
    std::string error;
    // The file is read completely before anything else changes: a refused file leaves the open
    // scenario, the results and the views as they were (only the recording has stopped).
    if (!workbench_.document.open(path.toStdString(), error)) {
        QMessageBox::warning(this, QStringLiteral("Torvex"), QString::fromStdString(error));
        if (!QFileInfo::exists(path)) {
            recentFiles_.remove(path);
            rebuildRecentFiles();
        }
        return false;
    }
    workbench_.runner.results().Clear();
    resetViews();
    SwitchView(kEditorView);
    recentFiles_.add(path);
    rebuildRecentFiles();
    updateTitle();
    updateCommands();
    return true;
}

bool CMainFrame::saveScenarioTo(const QString& path) {
    static_cast<CRunnerFormView*>(view(kRunnerView))->commitPendingEdits();
    std::string error;
    if (!workbench_.document.save(path.toStdString(), error)) {
        QMessageBox::warning(this, QStringLiteral("Torvex"), QString::fromStdString(error));
        return false;
    }
    recentFiles_.add(path);
    rebuildRecentFiles();
    updateTitle();
    return true;
}

bool CMainFrame::saveScenario() {
    if (!workbench_.document.hasFile()) return saveScenarioAs();
    return saveScenarioTo(QString::fromStdString(workbench_.document.pathName()));
}

bool CMainFrame::saveScenarioAs() {
    const QString proposed = QString::fromStdString(workbench_.document.pathName());
    const QString path     = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save As"), withExtension(proposed, QStringLiteral(".tvs")),
            kScenarioFilter);
    if (path.isEmpty()) return false;
    return saveScenarioTo(withExtension(path, QStringLiteral(".tvs")));
}

void CMainFrame::openScenarioWithDialog() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), kScenarioFilter);
    if (!path.isEmpty()) openScenario(path);
}

bool CMainFrame::openResults(const QString& path) {
    std::string error;
    if (!workbench_.runner.results().LoadFromFile(path.toStdString(), error)) {
        QMessageBox::warning(this, QStringLiteral("Torvex"), QString::fromStdString(error));
        return false;
    }
    SwitchView(kReportView);
    static_cast<CReportFormView*>(view(kReportView))->refresh(true);
    updateCommands();
    return true;
}

bool CMainFrame::saveResults(const QString& path) {
    std::string error;
    if (!workbench_.runner.results().SaveToFile(path.toStdString(), error)) {
        QMessageBox::warning(this, QStringLiteral("Torvex"), QString::fromStdString(error));
        return false;
    }
    return true;
}

void CMainFrame::openResultsWithDialog() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), kResultsFilter);
    if (!path.isEmpty()) openResults(path);
}

void CMainFrame::saveResultsWithDialog() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QString(), kResultsFilter);
    if (!path.isEmpty()) saveResults(withExtension(path, QStringLiteral(".rlt")));
}

void CMainFrame::startRecording() {
    recordingMark_ = true;
    showInGroup(0, kRecorderView);
    workbench_.recorder.BeginRecording();
    auto* recorder = static_cast<CRecorderFormView*>(view(kRecorderView));
    QMetaObject::invokeMethod(
        recorder, [recorder] { recorder->refreshList(true); }, Qt::QueuedConnection);
    updateCommands();
}

void CMainFrame::stopRecording() {
    if (!recordingMark_) return;
    recordingMark_ = false;
    if (!workbench_.runner.running()) showInGroup(0, kEditorView);
    workbench_.recorder.EndRecording();
    updateCommands();
}

void CMainFrame::switchToRecorderFromNavigation() {
    if (!recordingMark_) {
        GlobalSettingsValues& values = workbench_.settings.values;
        if (values.promptRecording && currentKind_ != kRecorderView) {
            QMessageBox prompt(QMessageBox::Question, QStringLiteral("Recorder Prompt"),
                               QStringLiteral("Always start recording when switch to Recorder?"),
                               QMessageBox::Yes | QMessageBox::No, this);
            auto* dontAsk = new QCheckBox(QStringLiteral("&Don't show this message again"));
            prompt.setCheckBox(dontAsk);
            values.startRecording  = prompt.exec() == QMessageBox::Yes ? 1 : 0;
            values.promptRecording = dontAsk->isChecked() ? 0 : 1;
        }
        SettingsStore& store = workbench_.settingsStore;
        if (store.open()) {
            store.writeNumber("StartRecording", static_cast<std::uint32_t>(values.startRecording));
            store.writeNumber("PromptRecording",
                              static_cast<std::uint32_t>(values.promptRecording));
        }
        store.close();
        if (values.startRecording && !workbench_.runner.running()) startRecording();
    }
    SwitchView(kRecorderView);
}

void CMainFrame::runCurrentScenario() {
    static_cast<CRunnerFormView*>(view(kRunnerView))->commitPendingEdits();
    CScenario& scenario = workbench_.document.scenario();
    if (std::optional<RunCheckFailure> failure = checkBeforeRun(scenario)) {
        if (failure->field != RunCheckField::kNone) {
            showInGroup(0, kRunnerView);
            static_cast<CRunnerFormView*>(view(kRunnerView))->focusField(failure->field);
        }
        QMessageBox(QMessageBox::NoIcon, QStringLiteral("Torvex"),
                    QString::fromStdString(failure->message), QMessageBox::Ok, this)
            .exec();
        return;
    }
    static_cast<CEditorFormView*>(view(kEditorView))->saveScenarioOptions();
    scenario.general.projectName        = workbench_.document.title();
    const GlobalSettingsValues settings = workbench_.settings.snapshot();
    std::string script;
    if (scenario.run.saveTimings) {
        scenario.generateScript(settings, script);
        if (timingsExceedMemory(script)) {
            if (QMessageBox::question(this, QStringLiteral("Torvex"),
                                      QString::fromUtf8(kTimingsTooLargeQuestion),
                                      QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
                return;
            }
            scenario.run.saveTimings = 0;
        }
        script.clear();
    }
    // A request that cannot be generated leaves the general text only; the engine then says
    // what is missing in the run log.
    scenario.generateScript(settings, script);
    showInGroup(0, kRunnerView);
    // The memory question may have turned the timings off.
    view(kRunnerView)->RefreshView();
    workbench_.runner.SetLogTarget(&scenario.log);
    workbench_.runner.StartRun(script, scenario.general.projectName,
                               BatchSettings::of(scenario.run), scenario);
    if (workbench_.runner.running()) progress_.show(0, 0, QStringLiteral("Running..."));
    updateCommands();
}

void CMainFrame::stopRun() {
    workbench_.runner.StopRun();
    progress_.hide();
    updateCommands();
}

void CMainFrame::showHelp() {
    const QString path = helpPagePath();
    if (!QFileInfo::exists(path)) {
        QMessageBox::warning(this, QStringLiteral("Torvex"),
                             QStringLiteral("The help page %1 cannot be found.").arg(path));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace torvex
