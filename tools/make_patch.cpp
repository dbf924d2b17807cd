// Writes the test server's update package (.msp) under Wine: for each target
// build, the pair of transforms that turns it into the new build, and the
// new build's cabinet. Made for this one job, not a database differ: it
// changes ProductVersion and the changed files' File and MsiFileHash rows,
// and adds the patch's Media row. Wine's MsiDatabaseGenerateTransform is a
// stub, so the transforms are written here, in the installer's own format.
//
//   make_patch <out.msp> <patch code> <new.msi> <target.msi>...
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include <stdio.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

const wchar_t kCabinet[] = L"TallowickV3.cab";
const wchar_t kMediaSource[] = L"PATCHMediaSrcProp";
const int kPatchAdded = 0x1000;  // msidbFileAttributesPatchAdded
// Windows reads validation flags from the high word, Wine from the low word:
// product code, upgrade code, update version, new == base (0x0922); language,
// product code, platform, minor version (0x0017).
const int kValidation = 0x09220017;

struct Value {
    bool null = true;
    std::wstring text;
    int number = 0;
    bool operator!=(const Value& o) const {
        return null != o.null || text != o.text || number != o.number;
    }
};
typedef std::vector<Value> Row;

struct Column {
    std::wstring name;
    bool text;  // a string id in the row, else an integer of width bytes
    int width;
    bool key;
};

struct Table {
    std::wstring name;
    std::vector<Column> columns;
    int index(const wchar_t* column) const {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == column) return static_cast<int>(i);
        }
        return -1;
    }
};

void fail(const char* what, UINT code) {
    fprintf(stderr, "make_patch: %s failed (%u)\n", what, code);
    ExitProcess(1);
}

void check(UINT r, const char* what) {
    if (r != ERROR_SUCCESS) fail(what, r);
}

std::wstring field_text(MSIHANDLE rec, UINT field) {
    wchar_t buf[1024] = {};
    DWORD n = 1024;
    check(MsiRecordGetStringW(rec, field, buf, &n), "MsiRecordGetString");
    return buf;
}

MSIHANDLE open_database(const wchar_t* path) {
    MSIHANDLE db = 0;
    check(MsiOpenDatabaseW(path, reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), &db),
          "MsiOpenDatabase");
    return db;
}

MSIHANDLE query(MSIHANDLE db, const std::wstring& sql, MSIHANDLE params = 0) {
    MSIHANDLE view = 0;
    check(MsiDatabaseOpenViewW(db, sql.c_str(), &view), "MsiDatabaseOpenView");
    check(MsiViewExecute(view, params), "MsiViewExecute");
    return view;
}

// Column types as MsiViewGetColumnInfo spells them: s72, l255, i2, I4, ...
Table schema(MSIHANDLE db, const wchar_t* name) {
    Table t;
    t.name = name;
    MSIHANDLE view = query(db, std::wstring(L"SELECT * FROM `") + name + L"`");
    MSIHANDLE names = 0, types = 0, keys = 0;
    check(MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names), "column names");
    check(MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &types), "column types");
    check(MsiDatabaseGetPrimaryKeysW(db, name, &keys), "primary keys");
    UINT count = MsiRecordGetFieldCount(names);
    for (UINT i = 1; i <= count; ++i) {
        std::wstring type = field_text(types, i);
        Column c = {field_text(names, i), towlower(type[0]) != L'i', _wtoi(type.c_str() + 1),
                    false};
        for (UINT k = 1; k <= MsiRecordGetFieldCount(keys); ++k) {
            if (field_text(keys, k) == c.name) c.key = true;
        }
        t.columns.push_back(c);
    }
    MsiCloseHandle(keys);
    MsiCloseHandle(types);
    MsiCloseHandle(names);
    MsiCloseHandle(view);
    return t;
}

std::vector<Row> rows(MSIHANDLE db, const Table& t) {
    std::vector<Row> out;
    MSIHANDLE view = query(db, L"SELECT * FROM `" + t.name + L"`");
    MSIHANDLE rec = 0;
    while (MsiViewFetch(view, &rec) == ERROR_SUCCESS) {
        Row row(t.columns.size());
        for (size_t i = 0; i < t.columns.size(); ++i) {
            UINT field = static_cast<UINT>(i + 1);
            if (MsiRecordIsNull(rec, field)) continue;
            row[i].null = false;
            if (t.columns[i].text) {
                row[i].text = field_text(rec, field);
            } else {
                row[i].number = MsiRecordGetInteger(rec, field);
            }
        }
        out.push_back(row);
        MsiCloseHandle(rec);
    }
    MsiCloseHandle(view);
    return out;
}

const Row* find(const std::vector<Row>& all, const Table& t, const wchar_t* column,
                const std::wstring& key) {
    int i = t.index(column);
    for (const Row& r : all) {
        if (!r[i].null && r[i].text == key) return &r;
    }
    return nullptr;
}

Value number(int n) {
    Value v;
    v.null = false;
    v.number = n;
    return v;
}

Value text(const std::wstring& s) {
    Value v;
    v.null = s.empty();
    v.text = s;
    return v;
}

// Stream names of tables: characters of [0-9A-Za-z._] packed two to a
// character above 0x3800, after the table marker 0x4840.
std::wstring table_stream(const std::wstring& name) {
    auto code = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
        if (c >= L'a' && c <= L'z') return c - L'a' + 36;
        if (c == L'.') return 62;
        if (c == L'_') return 63;
        return -1;
    };
    std::wstring out(1, static_cast<wchar_t>(0x4840));
    for (size_t i = 0; i < name.size(); ++i) {
        int a = code(name[i]);
        int b = i + 1 < name.size() ? code(name[i + 1]) : -1;
        if (a < 0) {
            out += name[i];
        } else if (b < 0) {
            out += static_cast<wchar_t>(0x4800 + a);
        } else {
            out += static_cast<wchar_t>(0x3800 + a + (b << 6));
            ++i;
        }
    }
    return out;
}

// A transform: its own string pool, and for each table the rows that change.
struct Transform {
    std::vector<std::string> strings = {std::string()};  // id 0 is the null string
    std::vector<int> references = {0};
    std::map<std::wstring, std::string> tables;

    unsigned short string_id(const std::wstring& s) {
        if (s.empty()) return 0;
        std::string narrow(s.begin(), s.end());  // the tables hold ASCII only
        for (size_t i = 1; i < strings.size(); ++i) {
            if (strings[i] == narrow) {
                ++references[i];
                return static_cast<unsigned short>(i);
            }
        }
        strings.push_back(narrow);
        references.push_back(1);
        return static_cast<unsigned short>(strings.size() - 1);
    }

    // mask with the low bit set: a whole new row of (mask >> 8) columns;
    // otherwise the keys and the columns whose bit is set update a row.
    void add_row(const Table& t, const Row& row, unsigned mask) {
        std::string& out = tables[t.name];
        auto put = [&out](unsigned v, int bytes) {
            for (int b = 0; b < bytes; ++b) out += static_cast<char>((v >> (8 * b)) & 0xFF);
        };
        put(mask, 2);
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            bool present = (mask & 1) ? i < (mask >> 8) : (c.key || (mask & (1u << i)));
            if (!present) continue;
            const Value& v = row[i];
            if (c.text) {
                put(v.null ? 0 : string_id(v.text), 2);
            } else if (c.width == 2) {
                put(v.null ? 0 : static_cast<unsigned>(v.number + 0x8000), 2);
            } else {
                put(v.null ? 0 : static_cast<unsigned>(v.number) ^ 0x80000000u, 4);
            }
        }
    }
};

// The columns of a row that differ, as an update mask.
unsigned changed(const Table& t, const Row& from, const Row& to) {
    unsigned mask = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (!t.columns[i].key && from[i] != to[i]) mask |= 1u << i;
    }
    return mask;
}

// An OLE property set with the summary information of a transform.
std::string summary_stream(const std::string& tmpl, const std::string& revision) {
    struct Property {
        unsigned id;
        std::string value;  // encoded, type first
    };
    auto dword = [](unsigned v) {
        std::string s;
        for (int b = 0; b < 4; ++b) s += static_cast<char>((v >> (8 * b)) & 0xFF);
        return s;
    };
    auto lpstr = [&dword](const std::string& s) {
        std::string v = dword(30) + dword(static_cast<unsigned>(s.size() + 1)) + s;  // VT_LPSTR
        v += '\0';
        while (v.size() % 4) v += '\0';
        return v;
    };
    std::vector<Property> props = {
        {7, lpstr(tmpl)},                     // PID_TEMPLATE: platform;language
        {9, lpstr(revision)},                 // PID_REVNUMBER: from;to;upgrade code
        {14, dword(3) + dword(200)},          // PID_PAGECOUNT: installer version
        {16, dword(3) + dword(kValidation)},  // PID_CHARCOUNT: validation flags
    };
    std::string body;
    size_t offset = 8 + 8 * props.size();
    std::string index;
    for (const Property& p : props) {
        index += dword(p.id) + dword(static_cast<unsigned>(offset + body.size()));
        body += p.value;
    }
    std::string section =
        dword(static_cast<unsigned>(offset + body.size())) + dword(props.size()) + index + body;
    static const unsigned char kFmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                             0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
    std::string head("\xFE\xFF\x00\x00\x05\x02\x02\x00", 8);
    head +=
        std::string(16, '\0') + dword(1) + std::string(reinterpret_cast<const char*>(kFmtid), 16);
    head += dword(48);
    return head + section;
}

void write_stream(IStorage* storage, const std::wstring& name, const std::string& data) {
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(
        name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
    if (FAILED(hr)) fail("CreateStream", hr);
    ULONG written = 0;
    stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
    stream->Release();
    if (written != data.size()) fail("stream write", 0);
}

void write_transform(IStorage* root, const std::wstring& name, Transform& t,
                     const std::string& summary) {
    static const CLSID kTransformClass = {0x000C1082, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    IStorage* storage = nullptr;
    HRESULT hr = root->CreateStorage(
        name.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &storage);
    if (FAILED(hr)) fail("CreateStorage", hr);
    storage->SetClass(kTransformClass);
    for (const auto& table : t.tables)
        write_stream(storage, table_stream(table.first), table.second);
    // Code page 0 and 2-byte string ids; each string as (length, references).
    std::string pool(4, '\0'), data;
    for (size_t i = 1; i < t.strings.size(); ++i) {
        unsigned length = static_cast<unsigned>(t.strings[i].size());
        unsigned refs = static_cast<unsigned>(t.references[i]);
        pool += static_cast<char>(length & 0xFF);
        pool += static_cast<char>(length >> 8);
        pool += static_cast<char>(refs & 0xFF);
        pool += static_cast<char>(refs >> 8);
        data += t.strings[i];
    }
    write_stream(storage, table_stream(L"_StringPool"), pool);
    write_stream(storage, table_stream(L"_StringData"), data);
    write_stream(storage, L"\005SummaryInformation", summary);
    storage->Release();
}

std::string summary_text(MSIHANDLE db, UINT property) {
    MSIHANDLE si = 0;
    check(MsiGetSummaryInformationW(db, nullptr, 0, &si), "MsiGetSummaryInformation");
    char buf[256] = {};
    DWORD n = sizeof buf;
    UINT type = 0;
    check(MsiSummaryInfoGetPropertyA(si, property, &type, nullptr, nullptr, buf, &n),
          "summary property");
    MsiCloseHandle(si);
    return buf;
}

std::wstring property(MSIHANDLE db, const wchar_t* name) {
    Table t = schema(db, L"Property");
    std::vector<Row> all = rows(db, t);
    const Row* r = find(all, t, L"Property", name);
    if (r == nullptr) fail("property lookup", 0);
    return (*r)[t.index(L"Value")].text;
}

// The pair of transforms that turns target into the new build.
void add_transform_pair(IStorage* root, int n, MSIHANDLE target, MSIHANDLE fresh) {
    Transform update, patch;
    std::wstring code = property(target, L"ProductCode");
    std::wstring from = property(target, L"ProductVersion");
    std::wstring to = property(fresh, L"ProductVersion");

    Table props = schema(target, L"Property");
    Row version = *find(rows(target, props), props, L"Property", L"ProductVersion");
    version[props.index(L"Value")] = text(to);
    update.add_row(props, version, 1u << props.index(L"Value"));

    Table media = schema(target, L"Media");
    int disk = 0, last = 0;
    for (const Row& r : rows(target, media)) {
        disk = std::max(disk, r[media.index(L"DiskId")].number);
        last = std::max(last, r[media.index(L"LastSequence")].number);
    }
    int sequence = last;
    Table files = schema(target, L"File"), hashes = schema(target, L"MsiFileHash");
    std::vector<Row> old_files = rows(target, files), old_hashes = rows(target, hashes);
    std::vector<Row> new_hashes = rows(fresh, hashes);
    for (const Row& fresh_file : rows(fresh, files)) {
        std::wstring key = fresh_file[0].text;
        const Row* old_file = find(old_files, files, L"File", key);
        const Row* old_hash = find(old_hashes, hashes, L"File_", key);
        const Row* new_hash = find(new_hashes, hashes, L"File_", key);
        if (old_file == nullptr) continue;  // added files are beyond this job
        bool content = old_hash && new_hash && changed(hashes, *old_hash, *new_hash);
        unsigned keep = (1u << files.index(L"Sequence")) | (1u << files.index(L"Attributes"));
        unsigned file_mask = changed(files, *old_file, fresh_file) & ~keep;
        if (!content && file_mask == 0) continue;
        if (file_mask) update.add_row(files, fresh_file, file_mask);
        if (content) update.add_row(hashes, *new_hash, changed(hashes, *old_hash, *new_hash));
        // The patch's own transform: the file comes from the patch's cabinet.
        Row moved = *old_file;
        int attributes = moved[files.index(L"Attributes")].number;
        moved[files.index(L"Attributes")] = number(attributes | kPatchAdded);
        moved[files.index(L"Sequence")] = number(++sequence);
        patch.add_row(files, moved,
                      (1u << files.index(L"Attributes")) | (1u << files.index(L"Sequence")));
    }
    Row disk_row(media.columns.size());
    disk_row[media.index(L"DiskId")] = number(disk + 1);
    disk_row[media.index(L"LastSequence")] = number(sequence);
    disk_row[media.index(L"Cabinet")] = text(std::wstring(L"#") + kCabinet);
    disk_row[media.index(L"Source")] = text(kMediaSource);
    patch.add_row(media, disk_row, 1u | (static_cast<unsigned>(media.columns.size()) << 8));

    std::string tmpl = summary_text(target, 7);  // PID_TEMPLATE
    std::wstring up = property(target, L"UpgradeCode");
    std::string upgrade(up.begin(), up.end());
    std::string c(code.begin(), code.end()), f(from.begin(), from.end()), t(to.begin(), to.end());
    // The patch's transform is applied after the first one, to the upgraded
    // product: it names the new version as its base.
    std::wstring name = L"RTM." + std::to_wstring(n);
    write_transform(root, name, update, summary_stream(tmpl, c + f + ";" + c + t + ";" + upgrade));
    write_transform(root, L"#" + name, patch,
                    summary_stream(tmpl, c + t + ";" + c + t + ";" + upgrade));
}

// The new build's cabinet, copied into the patch as a stream.
void add_cabinet(MSIHANDLE patch, MSIHANDLE fresh, const wchar_t* scratch) {
    Table media = schema(fresh, L"Media");
    std::wstring cabinet = rows(fresh, media)[0][media.index(L"Cabinet")].text.substr(1);
    MSIHANDLE view =
        query(fresh, L"SELECT `Data` FROM `_Streams` WHERE `Name` = '" + cabinet + L"'");
    MSIHANDLE rec = 0;
    check(MsiViewFetch(view, &rec), "cabinet stream");
    HANDLE out = CreateFileW(scratch, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    char buf[65536];
    for (;;) {
        DWORD n = sizeof buf, written = 0;
        check(MsiRecordReadStream(rec, 1, buf, &n), "MsiRecordReadStream");
        if (n == 0) break;
        WriteFile(out, buf, n, &written, nullptr);
    }
    CloseHandle(out);
    MsiCloseHandle(rec);
    MsiCloseHandle(view);
    MSIHANDLE insert = 0;
    check(MsiDatabaseOpenViewW(patch, L"INSERT INTO `_Streams` (`Name`, `Data`) VALUES (?, ?)",
                               &insert),
          "insert view");
    MSIHANDLE values = MsiCreateRecord(2);
    MsiRecordSetStringW(values, 1, kCabinet);
    check(MsiRecordSetStreamW(values, 2, scratch), "MsiRecordSetStream");
    check(MsiViewExecute(insert, values), "insert cabinet");
    MsiCloseHandle(values);
    MsiCloseHandle(insert);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: make_patch <out.msp> <patch code> <new.msi> <target.msi>...\n");
        return 2;
    }
    const wchar_t* out = argv[1];
    MSIHANDLE fresh = open_database(argv[3]);
    std::wstring code = property(fresh, L"ProductCode");
    std::wstring transforms;
    for (int i = 4; i < argc; ++i) {
        std::wstring n = std::to_wstring(i - 3);
        transforms += (i > 4 ? L";" : L"") + std::wstring(L":RTM.") + n + L";:#RTM." + n;
    }

    DeleteFileW(out);
    MSIHANDLE patch = 0;
    // MSIDBOPEN_CREATE + MSIDBOPEN_PATCHFILE: the root storage gets the patch
    // class. The flag is 32 / sizeof(TCHAR); Wine's msi takes 32 for the wide
    // call too (Windows: 16).
    const ULONG_PTR kPatchFile = 32;
    check(MsiOpenDatabaseW(
              out,
              reinterpret_cast<LPCWSTR>(reinterpret_cast<ULONG_PTR>(MSIDBOPEN_CREATE) + kPatchFile),
              &patch),
          "create patch");
    std::wstring scratch = std::wstring(out) + L".cab";
    add_cabinet(patch, fresh, scratch.c_str());
    MSIHANDLE si = 0;
    check(MsiGetSummaryInformationW(patch, nullptr, 8, &si), "patch summary");
    MsiSummaryInfoSetPropertyW(si, 2, VT_LPSTR, 0, nullptr, L"Patch");
    MsiSummaryInfoSetPropertyW(si, 3, VT_LPSTR, 0, nullptr, L"Tallowick Server 14 v3 update");
    MsiSummaryInfoSetPropertyW(si, 7, VT_LPSTR, 0, nullptr, code.c_str());        // targets
    MsiSummaryInfoSetPropertyW(si, 8, VT_LPSTR, 0, nullptr, transforms.c_str());  // transforms
    MsiSummaryInfoSetPropertyW(si, 9, VT_LPSTR, 0, nullptr, argv[2]);             // patch code
    check(MsiSummaryInfoPersist(si), "MsiSummaryInfoPersist");
    MsiCloseHandle(si);
    check(MsiDatabaseCommit(patch), "MsiDatabaseCommit");
    MsiCloseHandle(patch);
    DeleteFileW(scratch.c_str());

    CoInitialize(nullptr);
    IStorage* root = nullptr;
    HRESULT hr =
        StgOpenStorage(out, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &root);
    if (FAILED(hr)) fail("StgOpenStorage", hr);
    for (int i = 4; i < argc; ++i) {
        MSIHANDLE target = open_database(argv[i]);
        add_transform_pair(root, i - 3, target, fresh);
        MsiCloseHandle(target);
    }
    root->Commit(STGC_DEFAULT);
    root->Release();
    MsiCloseHandle(fresh);
    CoUninitialize();
    return 0;
}
