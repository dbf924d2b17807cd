// Version comparison: equal only byte for byte, and the same order read
// either way round; the language map gives 0..7, agrees with its table and
// every text is two lines.
#include <stdint.h>
#include <string.h>

#include <string>

#include "../src/app/installed.h"
#include "../src/messages/messages.h"
#include "../tests/unit/language_ranges.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    unsigned short langid = static_cast<unsigned short>(data[0] | (data[1] << 8));
    MessageLanguage language = message_language(langid);
    FUZZ_CHECK(language >= 0 && language <= 7 && language == expected_language(langid));
    const char* text = not_found_text(language);
    const char* lf = strchr(text, '\n');
    FUZZ_CHECK(lf != nullptr && strchr(lf + 1, '\n') == nullptr);

    std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    size_t cut = rest.find('\0');
    std::string a = rest.substr(0, cut);
    std::string b =
        cut == std::string::npos ? std::string() : std::string(rest.substr(cut + 1).c_str());
    int ab = compare_version(a.c_str(), b.c_str());
    int ba = compare_version(b.c_str(), a.c_str());
    FUZZ_CHECK((ab == kEqual) == (a == b));
    FUZZ_CHECK(ab == kInstalledGreater   ? ba == kInstalledSmaller
               : ab == kInstalledSmaller ? ba == kInstalledGreater
                                         : ab == ba);
    return 0;
}
