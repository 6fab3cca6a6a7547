#include "results/GraphModel.h"

#include <cstdio>
#include <cstring>

namespace torvex {

namespace {

// Whether a label format prints exactly one double: flags, width and precision, then one of
// f, e, g (either case). Anything else, such as a format from a damaged file, is not handed
// to printf.
bool printsOneDouble(const std::string& format) {
    int conversions = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        ++i;
        while (i < format.size() && std::strchr("-+ #0", format[i])) ++i;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        if (i < format.size() && format[i] == '.') ++i;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        if (i >= format.size() || !std::strchr("feEgG", format[i])) return false;
        ++conversions;
    }
    return conversions == 1;
}

// printf into a string of whatever length the values need.
template <typename... Values> std::string printed(const char* format, Values... values) {
    const int length = std::snprintf(nullptr, 0, format, values...);
    if (length <= 0) return {};
    std::string text(std::size_t(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, values...);
    text.resize(std::size_t(length));
    return text;
}

} // namespace

std::string pointTooltip(const GraphPoint& point) {
    return printed("(%.0f, %.2f)", point.x, point.y);
}

std::string axisLabel(const GraphAxis& axis, double value) {
    return printed(printsOneDouble(axis.labelFormat) ? axis.labelFormat.c_str() : "%g", value);
}

} // namespace torvex
