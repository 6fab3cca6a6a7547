#include "run/RunSignature.h"

#include "api/TestSet.h"
#include "run/ByteBlock.h"
#include "run/UserShape.h"

namespace torvex {
namespace {

void writeSequence(BlockWriter& out, const SequenceList& sequence) {
    out.u32(static_cast<std::uint32_t>(sequence.entries().size()));
    for (const SequenceEntry& entry : sequence.entries()) {
        out.text(entry.name);
        out.u8(entry.arguments ? 1 : 0);
        if (entry.arguments) out.text(*entry.arguments);
    }
}

} // namespace

std::string runSignature(const CTestSet& t) {
    BlockWriter out;
    UserShape shape = userShapeOf(t);
    out.u8(static_cast<std::uint8_t>(shape.form));
    out.i32(shape.entries);
    out.i32(shape.iterations);
    out.u8(shape.stamps ? 1 : 0);
    out.text(t.script.view());
    writeSequence(out, t.initsequence);
    writeSequence(out, t.testsequence);
    writeSequence(out, t.finalsequence);
    out.u32(static_cast<std::uint32_t>(t.definitioncount));
    t.definitions.forEach(
        [&](const std::string& name, const RequestDefinition&) { out.text(name); });
    return out.take();
}

} // namespace torvex
