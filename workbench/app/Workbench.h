#pragma once

#include "app/QtRunNotifier.h"
#include "app/QtSettingsStore.h"
#include "model/Document.h"
#include "model/GlobalSettings.h"
#include "recorder/RequestRecorder.h"
#include "runner/TestRunner.h"

namespace torvex {

// What the program keeps for its whole life and the main window works on: the open scenario, the
// recording hook, the run controller with its notifier, and the global settings with their store.
struct Workbench {
    CHexmillLEDoc document;
    CRequestRecorder recorder;
    QtRunNotifier notifier;
    CTestRunner runner;
    CGlobalSettings settings;
    QtSettingsStore settingsStore;
};

} // namespace torvex
