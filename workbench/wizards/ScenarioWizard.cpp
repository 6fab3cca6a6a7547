#include "wizards/ScenarioWizard.h"
