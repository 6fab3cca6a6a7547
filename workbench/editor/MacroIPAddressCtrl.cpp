#include "editor/MacroIPAddressCtrl.h"
