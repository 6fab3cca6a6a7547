#include "http/CookieJar.h"
