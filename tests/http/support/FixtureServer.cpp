#include "http/support/FixtureServer.h"
