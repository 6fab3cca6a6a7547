#pragma once

#include "script/ResponseText.h"

namespace torvex {

struct RequestDefinition;
struct UserScriptState;

// Builds the body of one request from a user's working copy into user.body: the raw content of a
// content request, a multipart body (with a fresh boundary in copy.boundary), or name=value pairs
// joined by '&' (the query of a GET, the form of a POST). Names and values are sent as the script
// gives them; $enc<< and $Hidden encode their own values.
void materialise(UserScriptState& user, RequestDefinition& copy, ResponseText response);

// The multipart boundary: 29 '-' and four random 16-bit numbers in hexadecimal.
void makeBoundary(UserScriptState& user, RequestDefinition& copy);

} // namespace torvex
