"""deploy/update.cmd under Wine's own cmd.exe and reg.exe: the release read
in the 64-bit view decides whether setup.exe runs, and the exit code says
what happened."""

import shutil
import unittest

from bed import MachineTest
import winebed as wb

UPD = wb.DRIVE_C / "Upd"


class UpdateCmd(MachineTest):
    def test_the_release_decides(self):
        wb.make_package(UPD)
        shutil.copyfile(wb.ROOT / "deploy" / "update.cmd", UPD / "update.cmd")
        cases = [  # (DisplayVersion or None, installer's exit, exit code, setup.exe started)
            ("14.0.2.226", 0, 0, True),
            ("14.0.2.226", 1642, 1642, True),  # setup.exe's own code passed on
            ("14.0.3.301", 0, 0, False),   # already patched
            ("14.0.10.1", 0, 0, False),    # compared as numbers, not text
            ("14.0.x.1", 0, 16042, False),  # no version, never "already patched"
            (None, 0, 16005, False),        # not installed
            ("14.0.0.99", 0, 16042, False),  # another release
        ]
        for version, installer, code, started in cases:
            with self.subTest(version=version, installer=installer):
                wb.reset_machine()
                if version:
                    wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", version)
                run = wb.run_setup("C:\\windows\\system32\\cmd.exe /c C:\\Upd\\update.cmd C:\\Upd",
                                   standin_exit=installer)
                self.assertExit(run, code)
                self.assertEqual(run.launched, started, run)
                if started:  # quiet, no restart, msiexec's log appended to
                    self.assertIn(" /qn /norestart /l*v+ ", run.command_line)

    def test_any_folder_name(self):
        # "&" and ")" would run a command or end a block if expanded unquoted;
        # calc.exe, in the current folder, leaves a mark if anything runs it.
        folder = wb.DRIVE_C / "Pk&calc Upd\u00e9)"
        wb.make_package(folder)
        shutil.copyfile(wb.ROOT / "deploy" / "update.cmd", folder / "update.cmd")
        shutil.copyfile(wb.TESTBIN / "planted_exe.exe", wb.DRIVE_C / "calc.exe")
        mark = wb.DRIVE_C / "planted-calc.exe-ran.txt"
        line = 'C:\\windows\\system32\\cmd.exe /c ""C:\\Pk&calc Upd\u00e9)\\update.cmd" "C:\\Pk&calc Upd\u00e9)""'
        for setup, code in (("real", 0), ("not a program", 16003), (None, 16003)):
            with self.subTest(setup=setup):
                mark.unlink(missing_ok=True)
                wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", "14.0.2.226")
                if setup != "real":
                    (folder / "setup.exe").unlink()
                if setup == "not a program":
                    (folder / "setup.exe").write_bytes(b"MZ, but no program")
                run = wb.run_setup(line, cwd="C:\\")
                self.assertExit(run, code)
                self.assertEqual(run.launched, setup == "real", run)
                self.assertFalse(mark.exists(), "update.cmd ran calc.exe")


if __name__ == "__main__":
    unittest.main()
