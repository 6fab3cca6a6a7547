#include "wizards/SettingsWizard.h"
