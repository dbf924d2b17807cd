// The payload directory of this run, resolved from the program's own file.
#pragma once

// Fills payload (260 characters) with the "Files" folder beside the running
// setup.exe, in short form where the volume has one, ending in a backslash.
// False, with payload left empty, when no such directory fits.
bool resolve_payload_directory(wchar_t* payload);
