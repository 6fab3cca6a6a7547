#pragma once

#include "http/UserConnections.h"

#include <string>
#include <string_view>

namespace torvex {

struct HttpSession;
struct RequestDefinition;

// The server, port, security and proxy of an ordinary request: its own server or the test set's
// `server` option, and its own `secure` value or the option's.
RequestTarget targetOf(const HttpSession& session, const RequestDefinition& copy);

// Writes the whole request text for a working copy whose body buffer has been filled into
// session.request: request line, headers, blank line and, for a POST, the body. Updates the
// current URL and writes the request to the user's log.
void composeRequest(HttpSession& session, RequestDefinition& copy, const RequestTarget& target);

// Where the redirects of one request are: each Location is read against the one before it.
struct RedirectPosition {
    std::string host;
    int port;
    bool secure;
};

// The target of a redirect to `location`; moves `position` to the new host, port and scheme
// when the location is absolute. `path` receives the location's path. False when the location
// names a port past 65535.
bool redirectTarget(const HttpSession& session, std::string_view location,
                    RedirectPosition& position, std::string& path, RequestTarget& target);

// Writes the GET for a redirect into session.request and logs it.
void composeRedirect(HttpSession& session, const RequestTarget& target, std::string_view path);

// The headers every request carries: Host, Referer, Cookie, the script's header lines, Pragma
// and X-Forwarded-For. Also stores host and port in the test set's `server` and `port`.
void appendCommonHeaders(HttpSession& session, const std::string& host, int port);

} // namespace torvex
