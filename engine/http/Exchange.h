#pragma once

namespace torvex {

class CConnection;
struct HttpSession;

// Sends the text in session.request and reads the whole response into session.response: the
// status line and headers as received, then the body (the data of every chunk for a chunked
// one). Returns the measured time in microseconds (timing mode and rounding of the test set
// applied), -1 when the request could not be sent or the headers not read, or -4 when a wait
// timed out or the whole exchange outlasted the wait rules' response limit. Only the first
// `keptBodyLimit` bytes of a body are stored; the rest is read and counted as received. Closes
// the connection unless it stays alive.
int exchange(HttpSession& session, CConnection& connection, bool keepAlive);

// Truncates a measured time down to a whole multiple of `round` milliseconds.
int roundMeasured(int microseconds, double round);

} // namespace torvex
