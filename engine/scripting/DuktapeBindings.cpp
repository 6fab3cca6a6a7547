#include "scripting/DuktapeBindings.h"

#include "api/DebugChannel.h"
#include "scripting/Cesu8.h"
#include "scripting/TorvexObject.h"

#include <cstdarg>
#include <cstdio>
#include <string>

// Duktape reports errors with longjmp: inside these functions no C++ object with a destructor
// may be alive across a call that can throw (duk_error, duk_require_*, pushes that allocate).
// The object's methods run in between and keep their own C++ state; their text results stay in
// the object until they are pushed.

namespace torvex {
namespace {

constexpr const char* kObjectKey = "\xFF"
                                   "torvexObject";

// Throws a script error at the script's own line (the error macros would name this file's).
[[noreturn]] void scriptError(duk_context* ctx, duk_errcode_t code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void scriptError(duk_context* ctx, duk_errcode_t code, const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    (void)duk_error_raw(ctx, code, nullptr, 0, "%s", text);
    __builtin_unreachable();
}

// The user's object; none once the script has ended (finalizers run while the heap goes away).
CTorvexObject& objectOf(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kObjectKey);
    auto* object = static_cast<CTorvexObject*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    if (!object) scriptError(ctx, DUK_ERR_ERROR, "torvex: the script has ended");
    return *object;
}

// Throws a TypeError unless the call has between `least` and `most` arguments.
void requireCount(duk_context* ctx, const char* method, int least, int most) {
    debugTrace("CTorvexObject::Invoke\n");
    int given = duk_get_top(ctx);
    if (given >= least && given <= most) return;
    if (least == most)
        scriptError(ctx, DUK_ERR_TYPE_ERROR,
                    "%s: wrong number of arguments (%d expected, %d given)", method, least, given);
    scriptError(ctx, DUK_ERR_TYPE_ERROR,
                "%s: wrong number of arguments (%d or %d expected, %d given)", method, least, most,
                given);
}

// The argument as text; throws a TypeError when it is not a string.
const char* requireText(duk_context* ctx, const char* method, int index) {
    if (!duk_is_string(ctx, index) || duk_is_symbol(ctx, index))
        scriptError(ctx, DUK_ERR_TYPE_ERROR, "%s: argument %d must be a string", method, index + 1);
    return duk_get_string(ctx, index);
}

// The argument converted to text, whatever its type; undefined is empty. A toString that
// throws is the script's error.
const char* anyAsText(duk_context* ctx, int index) {
    if (duk_is_undefined(ctx, index)) return "";
    return duk_to_string(ctx, index);
}

// Texts between the script's strings (CESU-8) and the engine's (UTF-8).
std::string fromScript(const char* text) {
    return cesu8ToUtf8(text);
}

// Runs a method of the object; a C++ exception becomes a script error after it unwound.
template <typename Call> int guarded(duk_context* ctx, const char* method, Call call) {
    CTorvexObject& object = objectOf(ctx);
    bool failed           = false;
    int result            = 0;
    try {
        result = call(object);
    } catch (...) {
        failed = true;
    }
    if (failed) scriptError(ctx, DUK_ERR_ERROR, "%s: internal error", method);
    return result;
}

// Pushes the object's text result, made into a script string by the call before.
duk_ret_t pushText(duk_context* ctx) {
    const std::string& text = objectOf(ctx).text();
    duk_push_lstring(ctx, text.data(), text.size());
    return 1;
}

// Makes the object's text result a script string.
int textForScript(CTorvexObject& object) {
    object.text() = utf8ToCesu8(object.text());
    return 0;
}

duk_ret_t jsRequest(duk_context* ctx) {
    requireCount(ctx, "Request", 1, 1);
    const char* name = anyAsText(ctx, 0);
    duk_push_int(ctx, guarded(ctx, "Request", [&](CTorvexObject& o) {
                     return o.request(fromScript(name).c_str());
                 }));
    return 1;
}

duk_ret_t jsResponse(duk_context* ctx) {
    requireCount(ctx, "Response", 0, 0);
    guarded(ctx, "Response", [](CTorvexObject& o) { return o.response(), textForScript(o); });
    return pushText(ctx);
}

duk_ret_t jsSetParam(duk_context* ctx) {
    requireCount(ctx, "SetParam", 2, 3);
    const char* request   = anyAsText(ctx, 0);
    const char* parameter = anyAsText(ctx, 1);
    const char* value     = duk_get_top(ctx) == 3 ? anyAsText(ctx, 2) : nullptr;
    duk_push_int(ctx, guarded(ctx, "SetParam", [&](CTorvexObject& o) {
                     std::string valueText = value ? fromScript(value) : std::string();
                     return o.setParam(fromScript(request).c_str(), fromScript(parameter).c_str(),
                                       value ? valueText.c_str() : nullptr);
                 }));
    return 1;
}

duk_ret_t jsIsAborting(duk_context* ctx) {
    requireCount(ctx, "IsAborting", 0, 0);
    duk_push_int(ctx, guarded(ctx, "IsAborting", [](CTorvexObject& o) { return o.isAborting(); }));
    return 1;
}

duk_ret_t jsGetOpt(duk_context* ctx) {
    requireCount(ctx, "GetOpt", 1, 1);
    const char* name = requireText(ctx, "GetOpt", 0);
    if (!guarded(ctx, "GetOpt", [&](CTorvexObject& o) {
            if (!o.getOpt(fromScript(name).c_str())) return 0;
            textForScript(o);
            return 1;
        }))
        return 0; // undefined
    return pushText(ctx);
}

duk_ret_t jsLogit(duk_context* ctx) {
    requireCount(ctx, "Logit", 1, 1);
    const char* text = requireText(ctx, "Logit", 0);
    guarded(ctx, "Logit", [&](CTorvexObject& o) { return o.logit(fromScript(text).c_str()), 0; });
    return 0;
}

duk_ret_t jsAddRequest(duk_context* ctx) {
    requireCount(ctx, "AddRequest", 2, 2);
    const char* name = requireText(ctx, "AddRequest", 0);
    const char* uri  = requireText(ctx, "AddRequest", 1);
    duk_push_int(
        ctx, guarded(ctx, "AddRequest", [&](CTorvexObject& o) { return o.addRequest(name, uri); }));
    return 1;
}

duk_ret_t jsSetRequestOpt(duk_context* ctx) {
    requireCount(ctx, "SetRequestOpt", 2, 2);
    const char* name    = requireText(ctx, "SetRequestOpt", 0);
    const char* options = requireText(ctx, "SetRequestOpt", 1);
    duk_push_int(ctx, guarded(ctx, "SetRequestOpt", [&](CTorvexObject& o) {
                     return o.setRequestOpt(fromScript(name).c_str(), fromScript(options).c_str());
                 }));
    return 1;
}

duk_ret_t jsAddParam(duk_context* ctx) {
    requireCount(ctx, "AddParam", 3, 3);
    const char* request   = requireText(ctx, "AddParam", 0);
    const char* parameter = requireText(ctx, "AddParam", 1);
    const char* value     = requireText(ctx, "AddParam", 2);
    duk_push_int(ctx, guarded(ctx, "AddParam", [&](CTorvexObject& o) {
                     return o.addParam(fromScript(request).c_str(), fromScript(parameter).c_str(),
                                       fromScript(value).c_str());
                 }));
    return 1;
}

duk_ret_t jsResetRequest(duk_context* ctx) {
    requireCount(ctx, "ResetRequest", 1, 1);
    const char* name = requireText(ctx, "ResetRequest", 0);
    guarded(ctx, "ResetRequest",
            [&](CTorvexObject& o) { return o.resetRequest(fromScript(name).c_str()), 0; });
    return 0;
}

const duk_function_list_entry kMethods[] = {
    {"Request", jsRequest, DUK_VARARGS},
    {"Response", jsResponse, DUK_VARARGS},
    {"SetParam", jsSetParam, DUK_VARARGS},
    {"IsAborting", jsIsAborting, DUK_VARARGS},
    {"GetOpt", jsGetOpt, DUK_VARARGS},
    {"Logit", jsLogit, DUK_VARARGS},
    {"AddRequest", jsAddRequest, DUK_VARARGS},
    {"SetRequestOpt", jsSetRequestOpt, DUK_VARARGS},
    {"AddParam", jsAddParam, DUK_VARARGS},
    {"ResetRequest", jsResetRequest, DUK_VARARGS},
    {nullptr, nullptr, 0},
};

} // namespace

void bindTorvexObject(duk_context* ctx, CTorvexObject& object) {
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, &object);
    duk_put_prop_string(ctx, -2, kObjectKey);
    duk_pop(ctx);

    duk_push_global_object(ctx);
    duk_push_object(ctx);
    duk_put_function_list(ctx, -1, kMethods);
    duk_put_prop_string(ctx, -2, "torvex");
    duk_put_function_list(ctx, -1, kMethods);
    duk_pop(ctx);
}

void unbindTorvexObject(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_string(ctx, -2, kObjectKey);
    duk_pop(ctx);
}

} // namespace torvex
