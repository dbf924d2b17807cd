// Path and command building: each result fits whole, equal to the text an
// unbounded string would give, or is refused with the output untouched.
#include <stdint.h>
#include <string.h>

#include <string>

#include "../src/app/package.h"
#include "../src/cleanup/stale.h"
#include "../src/launch/patch.h"
#include "fuzz.h"

namespace {

std::wstring widen(const uint8_t* data, size_t size) {
    std::wstring w;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) break;
        w += c;
    }
    return w;
}

void check_patch(const std::wstring& payload, const std::wstring& args) {
    const std::wstring system = L"C:\\Windows\\system32";
    const std::wstring package = L"TallowickServer14v3Update.msp";
    std::wstring path = payload + package;
    std::wstring quote = needs_quotes(path.c_str()) ? L"\"" : L"";
    std::wstring full = L"/C " + system + L"\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p " + quote +
                        path + quote + L" " + args;
    wchar_t out[kCommandCapacity];
    wcscpy(out, L"untouched");
    bool ok = build_patch_command(system.c_str(), payload.c_str(), package.c_str(), args.c_str(),
                                  out, kCommandCapacity);
    if (full.size() < kCommandCapacity && path.size() < kCommandCapacity) {
        FUZZ_CHECK(ok && full == out);
    } else {
        FUZZ_CHECK(!ok && wcscmp(out, L"untouched") == 0);
    }
}

void check_package(const std::wstring& path) {
    wchar_t dir[kPackageCapacity];
    wcscpy(dir, L"untouched");
    size_t end = path.find_last_of(L"\\/");
    bool ok = package_directory_from_path(path.c_str(), dir, kPackageCapacity);
    if (end == std::wstring::npos || end + 1 >= kPackageCapacity) {
        FUZZ_CHECK(!ok);
        return;
    }
    FUZZ_CHECK(ok && wcslen(dir) == end + 1);
    for (size_t i = 0; i <= end; ++i) {
        wchar_t c = path[i];
        FUZZ_CHECK(dir[i] == ((c >= L'A' && c <= L'Z') ? c + 32 : c));
    }
    wchar_t payload[kPayloadCapacity];
    wcscpy(payload, L"untouched");
    std::wstring expected = std::wstring(dir) + L"Files\\";
    ok = payload_directory_from_package(dir, payload, kPayloadCapacity);
    if (expected.size() < kPayloadCapacity) {
        FUZZ_CHECK(ok && expected == payload);
    } else {
        FUZZ_CHECK(!ok && wcscmp(payload, L"untouched") == 0);
    }
}

void check_stale(const std::string& dir, const std::string& name) {
    for (const char* suffix : kStaleSuffixes) {
        char out[kTreePathBytes] = "untouched";
        bool ok = stale_component_path(dir.c_str(), suffix, out, sizeof out);
        std::string expected = dir + (dir.empty() || dir.back() != '\\' ? "\\" : "") + suffix;
        if (is_absolute_path(dir.c_str()) && expected.size() < kTreePathBytes) {
            FUZZ_CHECK(ok && expected == out);
        } else {
            FUZZ_CHECK(!ok && strcmp(out, "untouched") == 0);
        }
    }
    char out[kTreePathBytes] = "untouched";
    std::string child = dir + "\\" + name;
    bool ok = child_path(dir.c_str(), name.c_str(), out, sizeof out);
    FUZZ_CHECK(ok == (child.size() < kTreePathBytes));
    FUZZ_CHECK(ok ? child == out : strcmp(out, "untouched") == 0);
    std::string pattern = dir + "\\*.*";
    ok = search_pattern(dir.c_str(), out, sizeof out);
    FUZZ_CHECK(ok == (pattern.size() < kTreePathBytes));
    if (ok) FUZZ_CHECK(pattern == out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t split = data[0] * size / 256 + 1;
    if (split > size) split = size;
    std::wstring first = widen(data + 1, split - 1);
    std::wstring second = widen(data + split, size - split);
    check_patch(first, second);
    check_package(first);
    std::string narrow(reinterpret_cast<const char*>(data + 1), split - 1);
    std::string name(reinterpret_cast<const char*>(data + split), size - split);
    check_stale(narrow.c_str(), name.c_str());
    return 0;
}
