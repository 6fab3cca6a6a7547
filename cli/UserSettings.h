#pragma once

#include "model/GlobalSettings.h"

#include <string>

// The tester's global settings as the workbench keeps them (the defaults where the store has
// none, or in a build without Qt); also points new scenarios at the user's data folders.
torvex::GlobalSettingsValues userSettings();

// The workbench names a scenario's runs after its document title, the file's name.
std::string documentTitle(const std::string& path);
