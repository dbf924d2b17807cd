// Reads one registry value as zero-terminated text, narrow or wide.
#include "registry_win.h"

#include "text.h"

LSTATUS read_registry_text(const char* key_path, const char* value_name, REGSAM access, char* text,
                           bool* read) {
    *read = false;
    text[0] = 0;
    HKEY key = NULL;
    LSTATUS open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, access, &key);
    if (open != ERROR_SUCCESS) return open;
    DWORD size = kRegistryTextBytes;
    // The type is not asked for: string data of any type is used as stored.
    if (RegQueryValueExA(key, value_name, NULL, NULL, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
        *read = text_terminate(text, kRegistryTextBytes, size);
    }
    if (!*read) text[0] = 0;
    return RegCloseKey(key);
}

LSTATUS read_registry_text(const wchar_t* key_path, const wchar_t* value_name, REGSAM access,
                           wchar_t* text, bool* read) {
    *read = false;
    text[0] = 0;
    HKEY key = NULL;
    LSTATUS open = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, access, &key);
    if (open != ERROR_SUCCESS) return open;
    DWORD size = kRegistryTextChars * sizeof(wchar_t);
    if (RegQueryValueExW(key, value_name, NULL, NULL, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
        // An odd last byte is half a character: it is not text.
        *read = text_terminate(text, kRegistryTextChars, size / sizeof(wchar_t));
    }
    if (!*read) text[0] = 0;
    return RegCloseKey(key);
}
