#pragma once

#include "script/ParamPart.h"

#include <string_view>

namespace torvex {

struct RequestDefinition;

// Reads a parameter value "part&part&..." into parts. At script load each $list and $Seq takes the
// next counter slot from `slotCounter`; in run-time mode (no slot counter) they are refused,
// because the users' counter slots already exist. A $File part makes the definition a multipart
// POST. On an error the message goes to the output function and false comes back.
class ParamReader {
public:
    // Load mode: slots are numbered from *slotCounter on.
    ParamReader(RequestDefinition& definition, int* slotCounter)
        : definition_(definition), slotCounter_(slotCounter) {}

    bool read(std::string_view name, std::string_view value, Parameter& out);
    // Reads the parameter and appends it to the definition's own list.
    bool append(std::string_view name, std::string_view value);
    // Reads a single part, '&' included, as the call or text it is.
    bool readPart(std::string_view name, std::string_view text, CParamPart& out);

private:
    bool readCall(std::string_view name, std::string_view call, CParamPart& out);
    bool nrand(std::string_view call, std::string_view args, CParamPart& out);
    bool arand(std::string_view args, CParamPart& out);
    bool seq(std::string_view args, CParamPart& out);
    bool regexp(std::string_view args, CParamPart& out);
    bool rxname(std::string_view name, std::string_view args, CParamPart& out);
    bool var(std::string_view args, CParamPart& out);
    bool clid(std::string_view args, CParamPart& out);
    bool list(std::string_view args, CParamPart& out);
    bool takeSlot(int& slot);

    RequestDefinition& definition_;
    int* slotCounter_;
    int rxnameDepth_ = 0;
};

} // namespace torvex
