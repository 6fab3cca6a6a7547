#pragma once

#include <clocale>
#include <locale.h>

namespace torvex {

// Formats numbers of the calling thread with a dot as decimal separator while it lives, whatever
// locale the host program chose; switching the process-wide locale is unsafe while other
// threads run, a thread's own locale is not.
class CNumericLocale {
public:
    CNumericLocale() : previous_(uselocale(cLocale())) {}
    ~CNumericLocale() { uselocale(previous_); }
    CNumericLocale(const CNumericLocale&)            = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    static locale_t cLocale() {
        static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
        return c;
    }
    locale_t previous_;
};

} // namespace torvex
