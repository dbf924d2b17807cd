// Path and command building: each result fits whole, equal to the text an
// unbounded string would give, or is refused with the output untouched.
#include <stdint.h>
#include <string.h>

#include <string>

#include "../src/app/package.h"
#include "../src/verify/sums.h"
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

// cmd expands %NAME%: any two percent signs with something between them.
bool two_signs_apart(const std::wstring& path) {
    size_t first = path.find(L'%');
    return first != std::wstring::npos && path.rfind(L'%') > first + 1;
}

// The options as cmd.exe must get them: a caret before &|<>^ outside quotes.
std::wstring escaped(const std::wstring& args) {
    std::wstring out;
    bool quoted = false;
    for (wchar_t c : args) {
        if (c == L'"') quoted = !quoted;
        if (!quoted && wcschr(L"&|<>^", c) != nullptr) out += L'^';
        out += c;
    }
    return out;
}

void check_patch(const std::wstring& payload, const std::wstring& args) {
    const std::wstring system = L"C:\\Windows\\system32";
    std::wstring path = payload + L"TallowickServer14v3Update.msp";
    std::wstring quote = needs_quotes(path.c_str()) ? L"\"" : L"";
    std::wstring full = L"/D /V:OFF /C " + system +
                        L"\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p " + quote + path + quote +
                        L" " + escaped(args);
    wchar_t out[kCommandCapacity];
    wcscpy(out, L"untouched");
    bool ok =
        build_patch_command(system.c_str(), path.c_str(), args.c_str(), out, kCommandCapacity);
    bool kept = !two_signs_apart(args) && args.find_first_of(L"\r\n") == std::wstring::npos;
    if (full.size() < kCommandCapacity && !two_signs_apart(path) && kept) {
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
    for (size_t i = 0; i <= end; ++i) FUZZ_CHECK(dir[i] == path[i]);  // its own letter case
    wchar_t payload[kPayloadCapacity];
    wcscpy(payload, L"untouched");
    std::wstring expected = std::wstring(dir) + L"Files\\";
    ok = path_in_folder(dir, L"Files\\", payload, kPayloadCapacity);
    if (expected.size() < kPayloadCapacity) {
        FUZZ_CHECK(ok && expected == payload);
    } else {
        FUZZ_CHECK(!ok && wcscmp(payload, L"untouched") == 0);
    }
}

// A SHA256SUMS list: a line for another file never changes the verdict.
void check_sums(const uint8_t* data, size_t size) {
    const char name[] = "Files/TallowickServer14v3Update.msp";
    std::string text(reinterpret_cast<const char*>(data), size);
    unsigned char digest[kDigestBytes] = {};
    Listing listing = find_listed_digest(text.data(), text.size(), name, digest);
    std::string more = text + "\n" + std::string(64, '0') + "  setup.exe\n";
    unsigned char again[kDigestBytes] = {};
    FUZZ_CHECK(find_listed_digest(more.data(), more.size(), name, again) == listing);
    if (listing == kListed) FUZZ_CHECK(digest_equal(digest, again));
}

// The entry decision: only matching facts are ever acted on.
void check_classify(const uint8_t* data, size_t size) {
    if (size < 12) return;
    EntryFacts listed = {static_cast<unsigned long>(data[0] | data[1] << 8), data[2] % 3};
    EntryFacts opened = {static_cast<unsigned long>(data[3] | data[4] << 8), data[5] % 3};
    EntryKind kind = classify_entry(listed, opened);
    bool same = listed.file_id == opened.file_id &&
                (listed.attributes & 0x410) == (opened.attributes & 0x410);
    FUZZ_CHECK(same || kind == kEntrySwapped);
    if (kind == kEntryDirectory) FUZZ_CHECK(!(opened.attributes & 0x400));
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
    check_classify(data, size);
    check_sums(data, size);
    return 0;
}
