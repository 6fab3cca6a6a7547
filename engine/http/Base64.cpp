#include "http/Base64.h"
