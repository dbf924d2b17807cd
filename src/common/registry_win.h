// One registry value under HKEY_LOCAL_MACHINE, read as text.
#pragma once

#include <windows.h>

const DWORD kRegistryTextBytes = MAX_PATH;
const DWORD kRegistryTextChars = MAX_PATH;

// Opens key_path with access, reads value_name into text (kRegistryTextBytes)
// and closes the key. Returns the code of the open when it fails, otherwise
// that of the close; *read is true only when text holds a terminated string.
LSTATUS read_registry_text(const char* key_path, const char* value_name, REGSAM access, char* text,
                           bool* read);

// The same in UTF-16, into kRegistryTextChars characters.
LSTATUS read_registry_text(const wchar_t* key_path, const wchar_t* value_name, REGSAM access,
                           wchar_t* text, bool* read);
