#pragma once

namespace torvex {

struct HttpSession;
struct RequestDefinition;

// Executes one request of a virtual user from its working copy: connects (or reuses the kept
// connection), builds and sends the request, reads the response, follows redirects unless the
// test set's `noredir` is set, keeps the cookies and checks the content. Returns the measured
// time in microseconds (with the redirects' times when `sumredirecttime` is set), or -1 (network
// error), -2 (status other than 100, 200, 301 or 302), -3 (content check) or -4 (time-out).
// Afterwards session.previousBody() is the body of the last accepted response.
int performRequest(HttpSession& session, RequestDefinition& copy);

} // namespace torvex
