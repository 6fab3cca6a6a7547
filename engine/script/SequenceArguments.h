#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace torvex {

struct RequestDefinition;

// The fields of a working copy that sequence arguments may change, kept to put them back.
struct SavedRequest {
    std::string uri;
    std::optional<std::string> server;
    int port      = 0;
    int method    = 0;
    int delaymin  = 0;
    int delaymax  = 0;
    int keepalive = 0;
    int multipart = 0;
    int secure    = 0;
};

// Sets a request option ($uri $server $port $method $keepalive $delay $secure) from "name=value";
// false when the name is not one of them. The name is everything before the first '='.
bool setRequestOption(RequestDefinition& copy, std::string_view line);

// Applies the arguments of a sequence entry "req(a=1,$uri=/x)" ("a=1,$uri=/x)" is the text):
// request options set fields, a parameter of the copy gets an override sent as it stands, any other
// name a parameter of its own for this entry. The first other '$' name ends the arguments.
void applyArguments(RequestDefinition& copy, std::string_view arguments);

void saveRequest(const RequestDefinition& copy, SavedRequest& saved);
// Undoes applyArguments: drops the extra parameters and overrides and puts the fields back.
void restoreRequest(RequestDefinition& copy, const SavedRequest& saved);
// Drops the extra parameters and overrides only.
void resetRequest(RequestDefinition& copy);

} // namespace torvex
