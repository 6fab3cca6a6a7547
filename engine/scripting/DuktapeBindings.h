#pragma once

#include <duktape.h>

namespace torvex {

class CTorvexObject;

// Makes `object` the script's object "torvex" in the heap of `ctx`, with its ten methods also
// global functions, so that scripts can call them with or without "torvex.". Must run inside a
// protected call; the object must outlive the heap.
void bindTorvexObject(duk_context* ctx, CTorvexObject& object);
// Detaches the object: calls after the script's end (finalizers) throw instead of using it.
void unbindTorvexObject(duk_context* ctx);

} // namespace torvex
