#include "UserSettings.h"

#ifdef TORVEX_WITH_QT_SETTINGS
#include "app/DataFolders.h"
#include "app/QtSettingsStore.h"
#endif

torvex::GlobalSettingsValues userSettings() {
    torvex::CGlobalSettings settings;
#ifdef TORVEX_WITH_QT_SETTINGS
    torvex::setDefaultFolders(torvex::userDataFolders());
    torvex::QtSettingsStore store;
    settings.load(store); // what is missing keeps its default, as in the workbench
#endif
    return settings.snapshot();
}

std::string documentTitle(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
