#pragma once

namespace torvex {

// The process-wide counter behind request ids: ids are unique while the program runs and are
// not saved. New documents and loaded files start it again at 0.
int nextRequestId();
void resetRequestIds();
// The last id handed out, and putting it back (after a file that could not be read).
int lastRequestId();
void restoreRequestIds(int last);

} // namespace torvex
