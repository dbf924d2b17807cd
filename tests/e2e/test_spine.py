"""The update run end to end: which installations are eligible, where the
payload directory is found, and that a planted msi.dll is never loaded."""

import unittest

from bed import *  # noqa: F401,F403
import winebed as wb
from bed import MachineTest

UPD = wb.DRIVE_C / "Upd"


class Eligibility(MachineTest):
    def run_package(self):
        wb.make_package(UPD)
        return wb.run_setup("C:\\Upd\\setup.exe")

    def test_installed_releases(self):
        cases = [  # (version installed from a real MSI, exit code)
            ("14.0.2.226", 0),
            ("14.0.1.204", 0),
            ("14.0.3.301", 1),
            ("14.0.1.2040", 1),
            (None, 1),
        ]
        for version, code in cases:
            with self.subTest(version=version):
                wb.reset_machine()
                if version:
                    wb.install_product(version)
                    self.assertEqual(wb.installed_version(), version)
                run = self.run_package()
                self.assertExit(run, code)
                self.assertEqual(run.launched, code == 0, run)
                self.assertEqual(run.box is not None, code == 1, run)
                self.assertEqual([line.split(" ", 2)[2] for line in run.log[-2:]],
                                 ["release none", "exit 1"] if code else
                                 ["patch confirmed by the installer", "exit 0"])

    def test_uninstall_entry_alone(self):
        cases = [  # (DisplayVersion, release installed through the Windows Installer, exit code)
            ("14.0.2.226", None, 1605),  # launched; the Windows Installer knows no such product
            ("14.0.1.204", None, 1605),
            ("14.0.2.2260", None, 1),
            ("14.0.2.22", None, 1),
            ("1" * 300, None, 1),
            # The installer reports another version: its uninstall entry still counts.
            ("14.0.2.226", "14.0.3.301", 0),
        ]
        for value, installed, code in cases:
            with self.subTest(value=value[:20], installed=installed):
                wb.reset_machine()
                if installed:
                    wb.install_product(installed)
                wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", value)
                run = self.run_package()
                self.assertExit(run, code)
                self.assertEqual(run.launched, code != 1, run)
                self.assertEqual(run.box is not None, code == 1, run)


class PackageDirectory(MachineTest):
    def setUp(self):
        super().setUp()
        wb.install_product("14.0.2.226")

    def check_payload(self, run, package_dir):
        self.assertExit(run, 0)
        self.assertTrue(run.launched, run)
        self.assertEqual(run.record.get("package_found"), "1", run)
        self.assertNotIn(" ", run.record["package"])
        expected = wb.win(package_dir / "Files").lower()
        self.assertEqual(run.record["cwd_long"].lower(), expected, run)

    def test_program_paths(self):
        cases = [  # (package folder, program name, command line)
            ("Upd", "setup.exe", "C:\\Upd\\setup.exe /qn"),
            ("Upd Dir", "SETUP.EXE", "\"C:\\Upd Dir\\SETUP.EXE\" /qn"),
            ("Pkg", "mysetup.exe", "C:\\Pkg\\mysetup.exe /qn"),
            ("setup.exe.old", "setup.exe", "C:\\setup.exe.old\\setup.exe /qn"),
            ("Renamed", "update.exe", "C:\\Renamed\\update.exe /qn"),
        ]
        for folder, name, command in cases:
            with self.subTest(command=command):
                package = wb.make_package(wb.DRIVE_C / folder, exe_name=name)
                self.check_payload(wb.run_setup(command), package)

    def test_started_from_a_prompt_by_a_relative_name(self):
        package = wb.make_package(wb.DRIVE_C / "Upd Dir")
        cases = [  # (the prompt's folder, what is typed)
            ("\"C:\\Upd Dir\"", "setup.exe /qn"),
            ("\"C:\\Upd Dir\"", ".\\setup.exe /qn"),
            ("C:\\", "\"Upd Dir\\setup.exe\" /qn"),
            ("\"C:\\Upd Dir\\Files\"", "..\\setup.exe /qn"),
        ]
        for folder, typed in cases:
            with self.subTest(typed=typed):
                # No quotes around the whole command: cmd would strip the
                # first and the last one of the line.
                run = wb.run_setup("C:\\windows\\system32\\cmd.exe /c cd /d %s && %s"
                                   % (folder, typed))
                self.check_payload(run, package)
                self.assertTrue(run.record["cmdline"].endswith(wb.PACKAGE_NAME + " /qn"), run)


class Planting(MachineTest):
    def test_planted_msi_dll_is_never_loaded(self):
        # Wine would take a native msi.dll wherever the search order finds
        # one first; the planted one claims the eligible release.
        package = wb.make_package(UPD)
        (package / "msi.dll").write_bytes((wb.TESTBIN / "msi.dll").read_bytes())
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", overrides="msi=n,b")
        self.assertExit(run, 1)
        self.assertNotLaunched(run)
        self.assertFalse((wb.DRIVE_C / "planted-msi-loaded.txt").exists())

    def test_the_planted_dll_is_loaded_by_a_static_import(self):
        # Control: a program that imports msi.dll statically, in the same
        # folder and with the same override, does load the planted DLL.
        package = wb.make_package(UPD)
        (package / "msi.dll").write_bytes((wb.TESTBIN / "msi.dll").read_bytes())
        (package / "probe.exe").write_bytes((wb.TESTBIN / "static_msi_probe.exe").read_bytes())
        wb.wine([wb.TESTBIN / "wtool.exe", "run", "30000", "C:\\Upd\\probe.exe", "-"],
                extra={"WINEDLLOVERRIDES": "msi=n,b"})
        self.assertTrue((wb.DRIVE_C / "planted-msi-loaded.txt").exists())


if __name__ == "__main__":
    unittest.main()
