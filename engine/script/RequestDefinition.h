#pragma once

#include "api/NameTable.h"
#include "api/TextBuffer.h"
#include "regex/Regex.h"
#include "script/ParamPart.h"

#include <memory>
#include <optional>
#include <string>

namespace torvex {

// An $exportvar rule: the expression matched against a response and the template of the value.
struct ExportRule {
    std::shared_ptr<const CRegex> expression;
    std::string templateText;
};

// One request section of a test script. New definitions take their method, uri, delay, keepalive
// and port from the test set's general options at the moment they are created. Every virtual user
// works on its own working copy (see WorkingCopy.h), which sequence arguments change for a while.
struct RequestDefinition {
    std::string name;
    std::string uri;                   // path and query
    std::optional<std::string> server; // none: the general option "server"
    int port      = 0;
    int method    = 0; // 0 GET, 1 POST
    int delaymin  = 0; // milliseconds
    int delaymax  = 0; // milliseconds; 0: no random part
    int keepalive = 0;
    int multipart = 0; // the body is multipart form data (a $File parameter)
    int secure    = 0; // 0: the general option "secure"; 2: HTTPS; other: plain HTTP
    std::shared_ptr<const CRegex> failcheck; // content check of the response
    int failnegated = 0;                     // 1: the check fails when the expression is missing
    std::string boundary;                    // multipart boundary of the last materialisation
    // Shared by the definition and every working copy; read-only while a test runs.
    std::shared_ptr<ParameterList> parameters = std::make_shared<ParameterList>();
    ParameterList extraparameters; // added by sequence arguments or a script
    std::unique_ptr<NameTable<ExportRule>> exportvars;
    NameTable<std::string> overrides;    // parameter name -> value sent as it stands
    std::unique_ptr<TextBuffer> content; // present: a content request
    std::unique_ptr<TextBuffer> headers; // extra header lines, each ending "\r\n"

    // POST when the method says so or the request has content.
    bool posts() const { return method == 1 || content != nullptr; }
};

} // namespace torvex
