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
        cases = [  # (DisplayVersion or None, exit code, setup.exe started)
            ("14.0.2.226", 0, True),
            ("14.0.3.301", 0, False),   # already patched
            ("14.0.10.1", 0, False),    # compared as numbers, not text
            (None, 1605, False),        # not installed
            ("14.0.0.99", 1642, False),  # another release
        ]
        for version, code, started in cases:
            with self.subTest(version=version):
                wb.reset_machine()
                if version:
                    wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", version)
                run = wb.run_setup("C:\\windows\\system32\\cmd.exe /c C:\\Upd\\update.cmd C:\\Upd")
                self.assertExit(run, code)
                self.assertEqual(run.launched, started, run)
                if started:  # quiet, no restart, msiexec's log appended to
                    self.assertIn(" /qn /norestart /l*v+ ", run.command_line)


if __name__ == "__main__":
    unittest.main()
