#include "http/ResponseHeaders.h"
