// Test runner under Wine. Starts a program with an exact command line, waits
// with a watchdog and prints its full 32-bit exit code (a Linux parent sees
// only 8 bits). Optionally reads the message box that the program shows, as
// a person would see it, and presses OK.
//
//   wtool run <timeout_ms> <command line> <working dir or -> [<box info file> <flag file>]
//   wtool regset <key under HKLM> <value name> <type number> <data in hex>
//   wtool regdel <key under HKLM>   (the key and everything below it)
//   wtool hold|share|write|cwd|dir <file> <ms> <flag file>  (keeps the file open for ms)
//   wtool lock <file> <ms> <flag file> <path>  (a reader that locks it all once path is gone)
//   wtool mutex <name> <ms> <flag file> (holds a named mutex for ms)
//   wtool unowned|denied <name> <ms> <flag file> (owned by nobody; owned, denied to all)
//   wtool version <product code>        (prints MsiGetProductInfo's VersionString)
// With WTOOL_STATION set, the program runs on a desktop of a new window
// station of its own, which no person can see (as under a service).
// Prints "exit <code>" or "timeout". With a box info file: waits for a window
// of the child captioned "Tallowick Server 14", writes what it shows (UTF-8,
// key<TAB>value lines), waits for the flag file (a screenshot is taken
// meanwhile), then presses OK.
#include "support.h"

#include <sddl.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

std::wstring text_of(HWND w) {
    wchar_t buf[4096] = {};
    SendMessageW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf));
    return buf;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

struct BoxSearch {
    DWORD pid;
    HWND box;
};

BOOL CALLBACK find_box(HWND w, LPARAM param) {
    BoxSearch* s = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == s->pid && IsWindowVisible(w)) {
        s->box = w;
        return FALSE;
    }
    return TRUE;
}

struct Children {
    std::string lines;
    int buttons;
};

BOOL CALLBACK list_child(HWND w, LPARAM param) {
    Children* c = reinterpret_cast<Children*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    int id = GetDlgCtrlID(w);
    if (lstrcmpiW(cls, L"Button") == 0) ++c->buttons;
    char line[128];
    snprintf(line, sizeof line, "child\t%s\t0x%X\t", utf8(cls).c_str(), id);
    c->lines += line + escape(utf8(text_of(w))) + "\n";
    return TRUE;
}

void handle_box(const PROCESS_INFORMATION& pi, DWORD deadline, const wchar_t* info,
                const wchar_t* flag) {
    BoxSearch search = {pi.dwProcessId, NULL};
    while (GetTickCount() < deadline && search.box == NULL) {
        if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
    }
    if (search.box == NULL) {
        write_file(info, "box\tnone\n");
        return;
    }
    Sleep(300);  // let it draw
    HWND box = search.box;
    Children children = {std::string(), 0};
    EnumChildWindows(box, list_child, reinterpret_cast<LPARAM>(&children));
    char head[256];
    snprintf(head, sizeof head,
             "box\tfound\nstyle\t0x%lX\nexstyle\t0x%lX\nowner\t%p\nbuttons\t%d\n",
             static_cast<unsigned long>(GetWindowLongW(box, GWL_STYLE)),
             static_cast<unsigned long>(GetWindowLongW(box, GWL_EXSTYLE)),
             static_cast<void*>(GetWindow(box, GW_OWNER)), children.buttons);
    HWND text = GetDlgItem(box, 0xFFFF);
    std::string out = head;
    out += "caption\t" + escape(utf8(text_of(box))) + "\n";
    out += "text\t" + escape(utf8(text ? text_of(text) : std::wstring())) + "\n";
    out += "icon\t" + std::string(GetDlgItem(box, 0x440) ? "1" : "0") + "\n";
    out += children.lines;
    write_file(info, out);
    while (GetTickCount() < deadline && GetFileAttributesW(flag) == INVALID_FILE_ATTRIBUTES) {
        Sleep(50);
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

static int registry_command(int argc, wchar_t** argv) {
    if (lstrcmpW(argv[1], L"regdel") == 0 && argc == 3) {
        LSTATUS s = RegDeleteTreeW(HKEY_LOCAL_MACHINE, argv[2]);
        if (s == ERROR_SUCCESS) RegDeleteKeyW(HKEY_LOCAL_MACHINE, argv[2]);
        return 0;
    }
    if (lstrcmpW(argv[1], L"regset") != 0 || argc != 6) return 2;
    std::wstring hex = argv[5];
    std::string data;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        data += static_cast<char>(wcstoul(hex.substr(i, 2).c_str(), NULL, 16));
    }
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, NULL, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        NULL, &key, NULL) != ERROR_SUCCESS) {
        return 5;
    }
    // Narrow, as the updater reads it: the data bytes are stored as given.
    char name[256] = {};
    WideCharToMultiByte(CP_ACP, 0, argv[3], -1, name, sizeof name, NULL, NULL);
    LSTATUS s =
        RegSetValueExA(key, name, 0, wcstoul(argv[4], NULL, 10),
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return s == ERROR_SUCCESS ? 0 : 6;
}

// A new window station has no WSF_VISIBLE flag; the desktop must be made
// while the station is this process's own.
static bool hidden_desktop() {
    HWINSTA station = CreateWindowStationW(L"wtool-station", 0, WINSTA_ALL_ACCESS, NULL);
    if (station == NULL) return false;
    HWINSTA own = GetProcessWindowStation();
    if (!SetProcessWindowStation(station)) return false;
    HDESK desk = CreateDesktopW(L"wtool-desktop", NULL, NULL, 0, GENERIC_ALL, NULL);
    SetProcessWindowStation(own);
    return desk != NULL;
}

// hold: unshared; share: a reader; write: a program that keeps writing;
// lock: a reader that locks all of the file once the path after it is gone;
// cwd: a folder held as a running program holds its current folder;
// dir: a folder held with no sharing at all.
struct Hold {
    const wchar_t* name;
    DWORD access, share;
    int argc;
    DWORD flags;
} const kHolds[] = {
    {L"hold", GENERIC_READ, 0, 5, 0},
    {L"share", GENERIC_READ, FILE_SHARE_READ, 5, 0},
    {L"write", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 5, 0},
    {L"lock", GENERIC_READ, FILE_SHARE_READ, 6, 0},
    {L"cwd", FILE_TRAVERSE, FILE_SHARE_READ | FILE_SHARE_WRITE, 5, FILE_FLAG_BACKUP_SEMANTICS},
    {L"dir", FILE_LIST_DIRECTORY, 0, 5, FILE_FLAG_BACKUP_SEMANTICS},
};

static int hold_command(const Hold& hold, wchar_t** argv) {
    HANDLE f = CreateFileW(argv[2], hold.access, hold.share, NULL, OPEN_EXISTING, hold.flags, NULL);
    if (f == INVALID_HANDLE_VALUE) return 5;
    write_file(argv[4], "held");
    const wchar_t* gone = hold.argc == 6 ? argv[5] : NULL;
    OVERLAPPED all = {};
    while (gone != NULL && GetFileAttributesW(gone) != INVALID_FILE_ATTRIBUTES) Sleep(1);
    if (gone != NULL && !LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &all))
        return 6;
    Sleep(wcstoul(argv[3], NULL, 10));
    CloseHandle(f);
    return 0;
}

static int mutex_command(wchar_t** argv) {
    // denied: owned, with a DACL that denies everyone everything.
    SECURITY_ATTRIBUTES deny = {sizeof deny, NULL, FALSE};
    if (lstrcmpW(argv[1], L"denied") == 0 &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;GA;;;WD)", SDDL_REVISION_1,
                                                              &deny.lpSecurityDescriptor, NULL)) {
        return 5;
    }
    HANDLE m = CreateMutexW(&deny, lstrcmpW(argv[1], L"unowned") != 0, argv[2]);
    if (m == NULL) return 5;
    write_file(argv[4], "held");
    Sleep(wcstoul(argv[3], NULL, 10));
    ReleaseMutex(m);
    CloseHandle(m);
    return 0;
}

// msi.dll from System32 only: the planted one sits beside this program.
static int version_command(wchar_t** argv) {
    typedef UINT(WINAPI * Query)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
    HMODULE msi = LoadLibraryExW(L"msi.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Query query = msi ? reinterpret_cast<Query>(
                            reinterpret_cast<void*>(GetProcAddress(msi, "MsiGetProductInfoW")))
                      : NULL;
    wchar_t version[64] = {};
    DWORD n = 64;
    if (query == NULL || query(argv[2], L"VersionString", version, &n) != ERROR_SUCCESS) return 1;
    printf("%s\n", utf8(version).c_str());
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"version") == 0) return version_command(argv);
    for (const Hold& hold : kHolds) {
        if (argc == hold.argc && lstrcmpW(argv[1], hold.name) == 0) return hold_command(hold, argv);
    }
    if (argc == 5 && (lstrcmpW(argv[1], L"mutex") == 0 || lstrcmpW(argv[1], L"unowned") == 0 ||
                      lstrcmpW(argv[1], L"denied") == 0)) {
        return mutex_command(argv);
    }
    if (argc >= 3 && (lstrcmpW(argv[1], L"regset") == 0 || lstrcmpW(argv[1], L"regdel") == 0)) {
        return registry_command(argc, argv);
    }
    if (argc < 5 || lstrcmpW(argv[1], L"run") != 0) {
        fprintf(stderr, "usage: wtool run <timeout_ms> <command line> <dir|-> [info flag]\n");
        return 2;
    }
    DWORD timeout = wcstoul(argv[2], NULL, 10);
    std::wstring command = argv[3];
    const wchar_t* dir = lstrcmpW(argv[4], L"-") == 0 ? NULL : argv[4];
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // WTOOL_APP names the program apart from its command line, as a shell
    // or service may: the command line's first word is then only a name.
    wchar_t app[MAX_PATH] = {};
    DWORD has_app = GetEnvironmentVariableW(L"WTOOL_APP", app, MAX_PATH);
    wchar_t desktop[] = L"wtool-station\\wtool-desktop";
    if (GetEnvironmentVariableW(L"WTOOL_STATION", NULL, 0) > 0) {
        if (!hidden_desktop()) {
            printf("startfail station %lu\n", GetLastError());
            return 3;
        }
        si.lpDesktop = desktop;
    }
    if (!CreateProcessW(has_app ? app : NULL, &command[0], NULL, NULL, FALSE, 0, NULL, dir, &si,
                        &pi)) {
        printf("startfail %lu\n", GetLastError());
        return 3;
    }
    DWORD deadline = GetTickCount() + timeout;
    if (argc >= 7) handle_box(pi, deadline, argv[5], argv[6]);
    DWORD now = GetTickCount();
    DWORD left = now < deadline ? deadline - now : 0;
    if (WaitForSingleObject(pi.hProcess, left) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 0xDEAD);
        printf("timeout\n");
        return 4;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    printf("exit %lu\n", code);
    return 0;
}
