#include "editor/ParameterDialog.h"
