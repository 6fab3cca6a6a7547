#pragma once

#include <QStringList>

#include <memory>

namespace torvex {

class CMainFrame;
class CSplashScreen;
struct Workbench;

// The desktop program from start to exit: the recording hook and the run controller, the first
// document and the main window, the file named on the command line; at exit the hook is detached
// and the run controller shut down.
class CTorvexApp {
public:
    CTorvexApp();
    ~CTorvexApp();

    // Creates everything and shows the main window; false (after a message) when the program
    // cannot start. `arguments` are the command line without the program name.
    bool start(const QStringList& arguments);
    CMainFrame* mainFrame() const { return frame_.get(); }

private:
    std::unique_ptr<Workbench> workbench_;
    std::unique_ptr<CSplashScreen> splash_;
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace torvex
