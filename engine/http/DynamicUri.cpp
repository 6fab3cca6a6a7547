#include "http/DynamicUri.h"
