// The forwarded-argument filter against the rule stated word by word: at
// most cap - 1 characters, removals before the cut, the rest zero.
#include <stdint.h>
#include <wchar.h>

#include <string>

#include "../src/launch/arguments.h"
#include "../tests/unit/arguments_reference.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int cap = 1 + (data[0] | (data[1] << 8)) % 1000;
    std::wstring tail;
    for (size_t i = 2; i + 1 < size; i += 2)
        tail += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    tail = tail.c_str();
    std::wstring reduced = reference_filter(tail, tail.size() + 1);
    std::wstring out(cap, L'\x5555');
    filter_arguments(tail.c_str(), L"/s", &out[0], cap);
    size_t len = wcslen(out.c_str());
    FUZZ_CHECK(len <= static_cast<size_t>(cap - 1));
    FUZZ_CHECK(out.compare(0, len, reduced, 0, cap - 1) == 0 &&
               len == std::min(reduced.size(), size_t(cap - 1)));
    for (int i = static_cast<int>(len); i < cap; ++i) FUZZ_CHECK(out[i] == 0);
    return 0;
}
