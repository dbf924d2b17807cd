"""deploy/update.cmd under Wine's own cmd.exe and reg.exe: the release read
in the 64-bit view decides whether setup.exe runs, and the exit code says
what happened."""

import shutil
import unittest

from bed import MachineTest
import winebed as wb


class UpdateCmd(MachineTest):
    def test_the_release_decides(self):
        # "&" and ")" would run a command or end a block if expanded unquoted;
        # calc.exe, in the current folder, leaves a mark if anything runs it.
        shutil.copyfile(wb.TESTBIN / "planted_exe.exe", wb.DRIVE_C / "calc.exe")
        mark, odd = wb.DRIVE_C / "planted-calc.exe-ran.txt", "Pk&calc Upd\u00e9)"
        cases = [  # (folder, DisplayVersion or None, setup.exe, installer's exit, exit code)
            ("Upd", "14.0.2.226", "setup.exe", 0, 1605),  # no product for the real patch
            ("Upd", "14.0.1.204", "setup.exe", 1642, 1642),  # setup.exe's own code passed on
            ("Upd", "14.0.3.301", "setup.exe", 0, 0),   # already patched
            ("Upd", "14.0.10.1", "setup.exe", 0, 0),    # compared as numbers, not text
            ("Upd", "14.1.0.0", "setup.exe", 0, 0),     # a later minor release
            ("Upd", "14.0.2.226", "stand-in", 1, 16001),  # setup.exe's 1 after an eligible release
            ("Upd", "14.0.x.1", "setup.exe", 0, 16042),  # no version, never "already patched"
            ("Upd", None, "setup.exe", 0, 16005),        # not installed
            ("Upd", "14.0.0.99", "setup.exe", 0, 16042),  # another release
            ("Upd", "14.0.2.400", "setup.exe", 0, 16042),  # older than the patch
            ("Upd", "14.0.3.301 junk", "setup.exe", 0, 16042),  # four parts and nothing else
            ("Upd", "14.0.2.226 beta", "setup.exe", 0, 16042),
            ("Upd", "", "setup.exe", 0, 16042),
            (odd, "14.0.2.226", "setup.exe", 0, 1605),
            (odd, "14.0.2.226", "no program", 0, 16003),  # cmd cannot start it
            (odd, "14.0.2.226", None, 0, 16003),
        ]
        starts = wb.RUN_LOG.with_name("TallowickServer14v3Update.start.txt")
        starts.unlink(missing_ok=True)
        for folder, version, setup, installer, code in cases:
            with self.subTest(folder=folder, version=version, setup=setup, installer=installer):
                wb.reset_machine()
                mark.unlink(missing_ok=True)
                package = wb.make_package(wb.DRIVE_C / folder, exe_name=setup or "other.exe")
                shutil.copyfile(wb.ROOT / "deploy" / "update.cmd", package / "update.cmd")
                if setup == "no program":
                    (package / "setup.exe").write_bytes(b"MZ, but no program")
                elif setup == "stand-in":
                    shutil.copyfile(wb.TESTBIN / "standin_msiexec.exe", package / "setup.exe")
                if version is not None:
                    wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", version)
                run = wb.run_setup('C:\\windows\\system32\\cmd.exe /c ""C:\\%s\\update.cmd" "C:\\%s""'
                                   % (folder, folder), standin_exit=installer, cwd="C:\\")
                self.assertExit(run, code)
                started = setup == "setup.exe" and version in ("14.0.1.204", "14.0.2.226")
                self.assertEqual(run.launched, started or setup == "stand-in", run)
                self.assertFalse(mark.exists(), "update.cmd ran calc.exe")
                if started:  # quiet, no restart, msiexec's log appended to
                    self.assertIn(" /qn /norestart /l*v+ ", run.command_line)
        # With no folder, the package that holds it in deploy\, from any current folder.
        package = wb.make_package(wb.DRIVE_C / "Pk&calc Upd\u00e9)")
        (package / "deploy").mkdir(exist_ok=True)
        wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", "14.0.2.226")
        shutil.copyfile(wb.ROOT / "deploy" / "update.cmd", package / "deploy" / "update.cmd")
        run = wb.run_setup('C:\\windows\\system32\\cmd.exe /c ""C:\\%s\\deploy\\update.cmd""' % odd,
                           cwd="C:\\")
        self.assertEqual((run.exit_code, wb.PACKAGE_NAME in run.command_line), (1605, True), run)
        # Every start is kept, with what came of it and cmd's own error text.
        kept = starts.read_text("cp1252").splitlines()
        self.assertEqual(sum("exited with" in line for line in kept), 6)
        self.assertTrue([line for line in kept if "starting" not in line and "exited" not in line])
        # A restart pending from another change comes first; a killed run's folders,
        # on a server its msiexec patched, are settled, or said to be left.
        aside = "SOFTWARE\\Tallowick\\Tallowick Server\\14.0\\v3 Update"
        manager = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"
        for pending, product, code in ((True, None, 16010), (False, "14.0.3.301", 0),
                                       (False, None, 16002)):
            with self.subTest(pending=pending, product=product):
                wb.reset_machine()
                if product:
                    wb.install_product(product)
                package = wb.make_package(wb.DRIVE_C / "Upd")
                shutil.copyfile(wb.ROOT / "deploy" / "update.cmd", package / "update.cmd")
                wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", "14.0.2.226")
                wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
                [t.parent.mkdir(parents=True, exist_ok=True) for t in wb.stale_trees("C:\\Srv\\")]
                if pending:
                    wb.reg_set(manager[5:], "PendingFileRenameOperations", wb.REG_MULTI_SZ, b"x\0\0\0")
                else:
                    wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", "14.0.3.301")
                    wb.reg_set(aside, "twk.v3update-aside", wb.REG_BINARY, bytes(16))
                try:
                    run = wb.run_setup('C:\\windows\\system32\\cmd.exe /c ""C:\\Upd\\update.cmd" '
                                       '"C:\\Upd""', cwd="C:\\")
                finally:
                    wb.wine(["reg", "delete", manager, "/v", "PendingFileRenameOperations", "/f"])
                self.assertEqual((run.exit_code, run.launched), (code, False), run)
                self.assertEqual(any("record dropped" in line for line in run.log), code == 0)

if __name__ == "__main__":
    unittest.main()
