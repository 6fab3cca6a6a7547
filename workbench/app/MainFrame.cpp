#include "app/MainFrame.h"

#include "app/LayoutStore.h"
#include "app/NavigationBar.h"
#include "app/SplashScreen.h"
#include "app/TipsDialog.h"
#include "app/Workbench.h"
#include "editor/EditorFormView.h"
#include "recorder/RecorderFormView.h"
#include "recorder/RequestRecorder.h"
#include "results/AddGraphicsFormView.h"
#include "results/GraphicsFormView.h"
#include "results/ReportFormView.h"
#include "runner/RunnerFormView.h"
#include "wizards/SettingsWizard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

namespace torvex {
namespace {

const QString kFrameSection    = QStringLiteral("Frame");
const QString kRecorderSection = QStringLiteral("Recorder");
const QSize kMinimumSize(765, 550);

// Window show states as the layout store keeps them.
constexpr std::uint32_t kShowNormal    = 1;
constexpr std::uint32_t kShowMinimized = 2;
constexpr std::uint32_t kShowMaximized = 3;

// Gives the focus to the first control of `area` that takes it from the keyboard.
void focusFirstIn(QWidget* area) {
    QWidget* each = area->nextInFocusChain();
    for (int left = 1000; each != area && left > 0; --left, each = each->nextInFocusChain()) {
        if (area->isAncestorOf(each) && each->isVisible() && each->isEnabled() &&
            (each->focusPolicy() & Qt::TabFocus)) {
            each->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
}

int groupOf(int kind) {
    return kind <= kRunnerView ? 0 : 1;
}

} // namespace

CMainFrame::CMainFrame(Workbench& workbench, QWidget* parent)
    : QMainWindow(parent), workbench_(workbench), actions_(this),
      navigation_(new CNavigationBar(this)), stack_(new QStackedWidget(this)),
      progress_(statusBar()) {
    setObjectName(QStringLiteral("mainFrame"));
    setMinimumSize(kMinimumSize);

    auto* central = new QWidget(this);
    auto* layout  = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(navigation_);
    layout->addWidget(stack_, 1);
    setCentralWidget(central);

    createViews();
    connectCommands();
    connectRunNotifications();
    rebuildRecentFiles();
    restoreGeometry();
    showReadyWhenIdle();
    connectPaneKeys();
    workbench_.notifier.setDialogParent(this);
    attachRecorder();
    updateTitle();
    updateCommands();
}

CMainFrame::~CMainFrame() {
    if (workbench_.notifier.dialogParent() == this) workbench_.notifier.setDialogParent(nullptr);
    // Captures go on arriving from the proxy until the views are gone.
    workbench_.recorder.EndRecording();
    workbench_.recorder.SetNotifier(nullptr);
}

void CMainFrame::attachRecorder() {
    workbench_.recorder.SetSink(&workbench_.document.scenario().requests);
    workbench_.recorder.SetNotifier(
        &static_cast<CRecorderFormView*>(view(kRecorderView))->captureNotifier());
}

void CMainFrame::showReadyWhenIdle() {
    // Menu hints replace the pane's text for a moment; "Ready" comes back after them.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty() && !progress_.isVisible()) {
            statusBar()->showMessage(QStringLiteral("Ready"));
        }
    });
    statusBar()->showMessage(QStringLiteral("Ready"));
    // The View menu's check mark follows the toolbar however it was hidden.
    connect(actions_.toolBar, &QToolBar::visibilityChanged, actions_[Command::ToggleToolBar],
            &QAction::setChecked);
}

void CMainFrame::connectPaneKeys() {
    // F6 and Shift+F6 move the keyboard focus between the navigation bar and the open view.
    auto moveFocus = [this] {
        const bool inNavigation = navigation_->isAncestorOf(QApplication::focusWidget());
        focusFirstIn(inNavigation ? static_cast<QWidget*>(view(currentKind_)) : navigation_);
    };
    for (const char* keys : {"F6", "Shift+F6"}) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        connect(shortcut, &QShortcut::activated, this, moveFocus);
    }
}

void CMainFrame::createViews() {
    for (int i = 0; i < 6; ++i) {
        const int kind = kRecorderView + i;
        if (kind == kRecorderView) {
            auto* recorder =
                new CRecorderFormView(workbench_.document, workbench_.recorder, stack_);
            connect(recorder, &CRecorderFormView::documentModified, this, &CMainFrame::updateTitle);
            views_[i] = recorder;
        } else if (kind == kRunnerView) {
            auto* runner = new CRunnerFormView(workbench_.document, stack_);
            connect(runner, &CRunnerFormView::documentModified, this, &CMainFrame::updateTitle);
            views_[i] = runner;
        } else if (kind == kEditorView) {
            auto* editor = new CEditorFormView(workbench_.document, stack_);
            connect(editor, &CEditorFormView::documentModified, this, &CMainFrame::updateTitle);
            views_[i] = editor;
        } else if (kind == kReportView) {
            views_[i] = new CReportFormView(workbench_.runner.results(), stack_);
        } else if (kind == kGraphsView) {
            views_[i] = new CGraphicsFormView(workbench_.runner.results(), stack_);
        } else {
            views_[i] = new CAddGraphicsFormView(workbench_.runner.results(), stack_);
        }
        stack_->addWidget(views_[i]);
    }
    stack_->setCurrentWidget(view(currentKind_));
    navigation_->selectGroup(groupOf(currentKind_));
    connect(navigation_, &CNavigationBar::groupChanged, this,
            [this](int group) { navigationGroup_ = group; });
    connect(navigation_, &CNavigationBar::itemClicked, this, &CMainFrame::onNavigationItem);
}

void CMainFrame::SwitchView(int kind) {
    if (kind < kRecorderView || kind > kBatchGraphsView || kind == currentKind_) return;
    navigationGroup_ = groupOf(kind);
    navigation_->selectGroup(navigationGroup_);
    view(currentKind_)->DeactivateView();
    CResizingFormView* next = view(kind);
    stack_->setCurrentWidget(next);
    currentKind_ = kind;
    next->RefreshView();
}

void CMainFrame::showInGroup(int group, int kind) {
    // The navigation bar may show the other group while the view is already the current one.
    navigationGroup_ = group;
    navigation_->selectGroup(group);
    SwitchView(kind);
}

void CMainFrame::onNavigationItem(int item) {
    if (navigationGroup_ == 0) {
        if (item == 0) {
            switchToRecorderFromNavigation();
        } else {
            SwitchView(kEditorView + item - 1);
        }
    } else {
        SwitchView(kReportView + item);
    }
}

void CMainFrame::connectRunNotifications() {
    QtRunNotifier& notifier = workbench_.notifier;
    // Always queued: the notifications come from the run's threads, and even when one is sent on
    // this thread it must not run inside the command that caused it.
    connect(
        &notifier, &QtRunNotifier::resultsChangedPosted, this,
        [this] {
            // Only the result views show results; the Runner would reload fields being edited.
            if (currentKind_ >= kReportView) view(currentKind_)->RefreshView();
            updateCommands();
        },
        Qt::QueuedConnection);
    connect(
        &notifier, &QtRunNotifier::logChangedPosted, this,
        [this] { view(currentKind_)->LogChanged(); }, Qt::QueuedConnection);
    connect(
        &notifier, &QtRunNotifier::runProgressPosted, this,
        [this](bool hasCounts, int done, int total, const QString& text) {
            if (hasCounts) {
                progress_.show(done, total, text);
            } else {
                progress_.hide();
            }
        },
        Qt::QueuedConnection);
    connect(
        &notifier, &QtRunNotifier::batchFirstRunDonePosted, this,
        [this] {
            SwitchView(kBatchGraphsView);
            view(kBatchGraphsView)->RefreshView();
        },
        Qt::QueuedConnection);
    connect(
        &notifier, &QtRunNotifier::runFinishedPosted, this,
        [this](bool interrupted) {
            if (!interrupted) showInGroup(1, kReportView);
            progress_.hide();
            updateCommands();
        },
        Qt::QueuedConnection);
}

void CMainFrame::updateCommands() {
    const bool running    = workbench_.runner.running();
    const bool hasResults = workbench_.runner.results().GetCount() > 0;
    actions_[Command::SaveResults]->setEnabled(hasResults);
    actions_[Command::StartRecording]->setEnabled(!recordingMark_ && !running);
    actions_[Command::StopRecording]->setEnabled(recordingMark_);
    actions_[Command::RunTest]->setEnabled(!recordingMark_ && !running);
    actions_[Command::StopTest]->setEnabled(running);
    actions_[Command::ToggleToolBar]->setChecked(actions_.toolBar->isVisibleTo(this));
    actions_[Command::ToggleStatusBar]->setChecked(statusBar()->isVisibleTo(this));
}

void CMainFrame::updateTitle() {
    setWindowTitle(QString::fromStdString(workbench_.document.title()) +
                   QStringLiteral("[*] - Torvex v2.0"));
    setWindowModified(workbench_.document.modified());
}

void CMainFrame::resetViews() {
    for (CResizingFormView* each : views_) each->ResetView();
    // Switching to the view that is already shown does not refresh it.
    view(currentKind_)->RefreshView();
}

void CMainFrame::rebuildRecentFiles() {
    // One of them may be the entry whose click is being handled.
    for (QAction* each : std::as_const(recentActions_)) each->deleteLater();
    recentActions_.clear();
    const QStringList& files = recentFiles_.files();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        auto* entry        = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this);
        connect(entry, &QAction::triggered, this, [this, path] { openScenario(path); });
        actions_.fileMenu->insertAction(actions_.recentFilesEnd, entry);
        recentActions_.append(entry);
    }
    if (!files.isEmpty()) {
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        actions_.fileMenu->insertAction(recentActions_.first(), separator);
        recentActions_.append(separator);
    }
}

void CMainFrame::restoreGeometry() {
    const QRect available      = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    std::optional<QRect> saved = LayoutStore::readRect(kFrameSection, QStringLiteral("WindowRect"));
    // A window saved on a screen that is no longer there would open out of reach.
    if (saved && !available.intersects(*saved)) saved.reset();
    if (saved) {
        setGeometry(QRect(saved->topLeft(), saved->size().expandedTo(kMinimumSize)));
    } else {
        QRect centred(QPoint(), kMinimumSize);
        centred.moveCenter(available.center());
        setGeometry(centred);
    }
}

void CMainFrame::saveGeometry() {
    const std::uint32_t show = isMinimized()   ? kShowMinimized
                               : isMaximized() ? kShowMaximized
                                               : kShowNormal;
    LayoutStore::writeNumber(kFrameSection, QStringLiteral("CmdShow"), show);
    LayoutStore::writeRect(kFrameSection, QStringLiteral("WindowRect"), normalGeometry());
}

void CMainFrame::firstDisplay() {
    SwitchView(kRecorderView);
    // A window closed while minimised opens as a normal one.
    if (LayoutStore::readNumber(kFrameSection, QStringLiteral("CmdShow")) == kShowMaximized) {
        showMaximized();
    } else {
        showNormal();
    }
    activateWindow();
    view(kRecorderView)->LoadLayout(kRecorderSection);

    if (workbench_.settings.load(workbench_.settingsStore)) {
        if (CTipsDialog::showAtStartup()) CTipsDialog(this).exec();
        return;
    }
    // The first start: the global settings, the tips, then a scenario from the wizard.
    if (splash_) splash_->close();
    CSettingsWizardDlg(workbench_.settings, workbench_.settingsStore, this).exec();
    if (CTipsDialog::showAtStartup()) CTipsDialog(this).exec();
    runScenarioWizard();
}

void CMainFrame::openFromCommandLine(const QString& path) {
    if (path.endsWith(QStringLiteral("tvs"))) {
        openScenario(path);
    } else if (path.endsWith(QStringLiteral("rlt"))) {
        openResults(path);
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!saveModified()) {
        event->ignore();
        return;
    }
    view(kRecorderView)->SaveLayout(kRecorderSection);
    saveGeometry();
    event->accept();
}

} // namespace torvex
