#include "wizards/SettingsSummary.h"
