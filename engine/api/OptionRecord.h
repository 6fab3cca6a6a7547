#pragma once

namespace torvex {

// How a general option converts its value text, and the test set field it writes.
struct OptionRecord {
    // 'i' integer, 's' text, 'b' yes/no, 'f' floating point, 'm' GET/POST, '1' 0 or 1.
    char type = 'i';
    // 's': size of the target field in bytes (values hold at most size - 1 characters).
    int size = 0;
    union {
        int* integer;
        double* real;
        char* text;
    } target{};
};

} // namespace torvex
