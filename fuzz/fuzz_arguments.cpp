// The forwarded-argument filter against the literal algorithm: no "/s" in
// the result, at most cap - 1 bytes, removals before the cut, the rest zero.
#include <stdint.h>
#include <string.h>

#include <string>

#include "../src/launch/arguments.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int cap = 1 + (data[0] | (data[1] << 8)) % 1000;
    std::string tail(reinterpret_cast<const char*>(data + 2), size - 2);
    tail = tail.c_str();
    std::string reduced = tail;
    for (size_t at = reduced.find("/s"); at != std::string::npos; at = reduced.find("/s")) {
        reduced.erase(at, 2);
    }
    std::string out(cap, '\x55');
    filter_arguments(tail.c_str(), "/s", &out[0], cap);
    size_t len = strlen(out.c_str());
    FUZZ_CHECK(len <= static_cast<size_t>(cap - 1));
    FUZZ_CHECK(out.compare(0, len, reduced, 0, cap - 1) == 0 &&
               len == std::min(reduced.size(), size_t(cap - 1)));
    FUZZ_CHECK(out.substr(0, len).find("/s") == std::string::npos);
    for (int i = static_cast<int>(len); i < cap; ++i) FUZZ_CHECK(out[i] == 0);
    return 0;
}
