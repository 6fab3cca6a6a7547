#include "script/Materialiser.h"

#include "script/ContentParameters.h"
#include "script/ParamEvaluator.h"
#include "script/RequestDefinition.h"
#include "script/UserScriptState.h"

#include <cstdio>

namespace torvex {
namespace {

template <typename Visit> void forEachParameter(const RequestDefinition& copy, Visit visit) {
    for (const Parameter& p : *copy.parameters) visit(p);
    for (const Parameter& p : copy.extraparameters) visit(p);
}

class BodyBuilder {
public:
    BodyBuilder(UserScriptState& user, RequestDefinition& copy, ResponseText response)
        : user_(user), copy_(copy), body_(user.body), response_(response),
          multipart_(copy.multipart == 1) {}

    // Content requests send the content pieces back to back and nothing else.
    void content() {
        forEachParameter(copy_, [&](const Parameter& p) {
            if (isContentParameter(p))
                appendPartsValue(body_, p.parts, user_, response_, multipart_);
        });
    }

    void parameters() {
        forEachParameter(copy_, [&](const Parameter& p) { parameter(p); });
        if (multipart_) {
            body_.append("--");
            body_.append(copy_.boundary);
            body_.append("--\r\n");
        }
    }

private:
    void parameter(const Parameter& p) {
        const auto* first     = p.parts.empty() ? nullptr : &p.parts.front().kind;
        const auto* rxname    = first ? std::get_if<part::RxName>(first) : nullptr;
        const auto* file      = first ? std::get_if<part::File>(first) : nullptr;
        bool named            = rxname && nameFromResponse(*rxname, response_, user_.scratch);
        std::string_view name = named ? std::string_view(user_.scratch) : p.name;

        if (multipart_) {
            body_.append("--");
            body_.append(copy_.boundary);
            body_.append("\r\nContent-Disposition: form-data; name=\"");
            body_.append(name);
            body_.append("\"");
            if (file) {
                body_.append("; filename=\"");
                body_.append(file->path);
                body_.append("\"\r\nContent-Type: ");
                body_.append(file->contentType ? *file->contentType : "application/octet-stream");
                body_.append("\r\n");
            } else {
                body_.append("\r\n");
            }
            body_.append("\r\n");
        } else {
            if (body_.length() > 0) body_.append("&");
            body_.append(name);
            body_.append("=");
        }

        if (const std::string* value = copy_.overrides.find(p.name.c_str())) {
            body_.append(*value);
        } else if (rxname) {
            // Unnamed by the response, the parameter goes under its own name without a value.
            if (named) appendPartsValue(body_, rxname->value, user_, response_, multipart_);
            for (std::size_t i = 1; i < p.parts.size(); ++i)
                appendPartValue(body_, p.parts[i], user_, response_, multipart_);
        } else {
            appendPartsValue(body_, p.parts, user_, response_, multipart_);
        }
        if (multipart_) body_.append("\r\n");
    }

    UserScriptState& user_;
    RequestDefinition& copy_;
    TextBuffer& body_;
    ResponseText response_;
    bool multipart_;
};

} // namespace

void makeBoundary(UserScriptState& user, RequestDefinition& copy) {
    int drawn[4];
    for (int& n : drawn) n = user.random.next(0xffff);
    char text[64];
    std::snprintf(text, sizeof text, "-----------------------------%04x%04x%04x%04x", drawn[3],
                  drawn[2], drawn[1], drawn[0]);
    copy.boundary = text;
}

void materialise(UserScriptState& user, RequestDefinition& copy, ResponseText response) {
    user.body.clear();
    if (copy.multipart == 1) makeBoundary(user, copy);

    BodyBuilder builder(user, copy, response);
    bool content = false;
    forEachParameter(copy, [&](const Parameter& p) { content = content || isContentParameter(p); });
    if (content)
        builder.content();
    else
        builder.parameters();
}

} // namespace torvex
