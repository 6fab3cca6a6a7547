#include "wizards/ScenarioAnswers.h"
