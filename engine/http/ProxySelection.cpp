#include "http/ProxySelection.h"
