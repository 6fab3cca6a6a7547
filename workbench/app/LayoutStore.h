#pragma once

#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

namespace torvex {

// Window layout values kept per user under "Layout\<section>" (e.g. "Layout\Frame" with "CmdShow"
// and "WindowRect", "Layout\Recorder" with "LastSplit"). A read gives nothing unless the section
// and a value of the right kind are there; a failed write changes nothing. Either way the caller
// keeps its defaults.
class LayoutStore {
public:
    static std::optional<std::uint32_t> readNumber(const QString& section, const QString& name);
    static bool writeNumber(const QString& section, const QString& name, std::uint32_t value);
    // "left,top,right,bottom" with exactly four integers.
    static std::optional<QRect> readRect(const QString& section, const QString& name);
    static bool writeRect(const QString& section, const QString& name, const QRect& rect);
};

} // namespace torvex
