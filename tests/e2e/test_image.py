"""The built setup.exe as a file: 64-bit GUI program, imports of Windows
system DLLs only, and the manifest as its one resource."""

import re
import struct
import subprocess
import unittest

import winebed_path  # noqa: F401
import winebed as wb

# No shell32: the program path comes from GetModuleFileNameW. No msvcrt:
# there is no C runtime start-up. ntdll is in every process before any
# import is resolved.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "ntdll.dll"}


def pe_resources(data):
    """[(type, id, language, bytes)] from the resource section of a PE file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    rsrc = None
    for i in range(sections):
        name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if name.rstrip(b"\0") == b".rsrc":
            rsrc = (va, rawptr)
    if rsrc is None:
        return []
    va, base = rsrc

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
            yield ident, target

    out = []
    for rtype, t in entries(0):
        for rid, n in entries(t & 0x7FFFFFFF):
            for lang, d in entries(n & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + d)
                out.append((rtype, rid, lang, data[base + rva - va: base + rva - va + size]))
    return out


class Image(unittest.TestCase):
    def setUp(self):
        self.data = wb.SETUP_EXE.read_bytes()
        self.dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(wb.SETUP_EXE)],
                                   capture_output=True, text=True, check=True).stdout

    def test_64_bit_gui_without_timestamp(self):
        self.assertIn("(PE32+)", self.dump)
        self.assertRegex(self.dump, r"Subsystem\s+00000002\s+\(Windows GUI\)")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        self.assertEqual(struct.unpack_from("<I", self.data, pe + 8)[0], 0, "link timestamp")

    def test_imports_name_only_windows_system_dlls(self):
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", self.dump)}
        self.assertTrue(dlls, self.dump)
        self.assertLessEqual(dlls, SYSTEM_DLLS)
        self.assertNotIn("msi.dll", dlls, "msi.dll must be loaded from System32 only")

    def test_hardened_for_an_elevated_program(self):
        # ASLR, with 64-bit entropy and the relocations it needs, and data that
        # never runs as code: no fixed addresses for an exploit of an elevated
        # program. (Control Flow Guard is beyond MinGW-w64's GCC.)
        flags = int(re.search(r"DllCharacteristics\s+([0-9a-f]+)", self.dump).group(1), 16)
        for name, bit in (("DYNAMIC_BASE", 0x40), ("HIGH_ENTROPY_VA", 0x20), ("NX_COMPAT", 0x100)):
            self.assertTrue(flags & bit, name)
        relocations = re.search(r"Entry 5 [0-9a-f]+ ([0-9a-f]+)", self.dump)
        self.assertGreater(int(relocations.group(1), 16), 0, "no relocations: loaded at its base")

    def test_under_32_kib(self):  # the goal; cmake/windows.cmake's layout flags keep it
        self.assertLess(len(self.data), 32 * 1024)

    def test_the_manifest_is_the_only_resource(self):
        resources = pe_resources(self.data)
        self.assertEqual(len(resources), 1, resources)
        rtype, rid, _, content = resources[0]
        self.assertEqual((rtype, rid), (24, 1))
        self.assertEqual(content, (wb.ROOT / "res" / "setup.manifest").read_bytes())
        self.assertIn(b'level="requireAdministrator" uiAccess="false"', content)
        self.assertIn(b'<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
                      content)  # Windows refuses to start a program with any other


if __name__ == "__main__":
    unittest.main()
