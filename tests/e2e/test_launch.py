"""The patch launch end to end: what the installer is started with, where,
and the exit code that the updater hands back."""

import datetime
import os
import pwd
import shutil
import unittest

from bed import MachineTest
import winebed as wb

UPD = wb.DRIVE_C / "Upd"
PREFIX_CMD = "C:\\windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "


class Launch(MachineTest):
    def setUp(self):
        super().setUp()
        wb.install_product("14.0.2.226")

    def test_patch_command_and_directory(self):
        wb.make_package(UPD)
        run = wb.run_setup("C:\\Upd\\setup.exe /qn")
        self.assertExit(run, 0)
        self.assertEqual(run.command_line.lower(),
                         (PREFIX_CMD + "c:\\upd\\Files\\" + wb.PACKAGE_NAME + " /qn").lower())
        self.assertTrue(run.command_line.startswith(PREFIX_CMD), run)
        self.assertEqual(run.record["cwd"].lower(), "c:\\upd\\files")

    def test_forwarded_tails(self):
        wb.make_package(wb.DRIVE_C / "Upd Dir")
        cases = [  # (tail, how the patch command ends)
            (" /s /qn", wb.PACKAGE_NAME + "  /qn"),
            ("", wb.PACKAGE_NAME + " "),
            (" /qn /s", wb.PACKAGE_NAME + " /qn "),
            (" //ss /l*v C:/setup/log.txt", wb.PACKAGE_NAME + " //ss /l*v C:/setup/log.txt"),
            (" /S PROP=\"a b\"", wb.PACKAGE_NAME + " /S PROP=\"a b\""),
            (" /qn /norestart /l*v C:\\x.log PROP=1",
             wb.PACKAGE_NAME + " /qn /norestart /l*v C:\\x.log PROP=1"),
            # cmd's own characters reach msiexec as typed, in quotes or not.
            (" /qn PROP=a&b C=a^b D=x|y E=<z> \"F=a&b^c\"",
             wb.PACKAGE_NAME + " /qn PROP=a&b C=a^b D=x|y E=<z> \"F=a&b^c\""),
        ]
        for tail, end in cases:
            with self.subTest(tail=tail):
                run = wb.run_setup("\"C:\\Upd Dir\\setup.exe\"" + tail)
                self.assertExit(run, 0)
                self.assertTrue(run.command_line.endswith(end), run)
                self.assertNotIn("Upd Dir", run.command_line)
                self.assertEqual(run.record["package_found"], "1", run)

    def test_exit_codes_pass_through(self):
        # Away from their names while it runs; gone after success, else back whole.
        wb.make_package(UPD)
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
        trees = wb.stale_trees("C:\\Srv\\")
        cases = [  # (stand-in exit code, stand-in run time in ms, setup.exe's exit code)
            (0, None, 0), (1603, None, 1603), (3010, None, 3010), (1602, None, 1602),
            (1234, 3000, 1234), (1618, None, 1618), (1641, None, 1641),
            (1, None, 1603),  # 1 means "not eligible" only
            (0, "pretend", 1603), (3010, "pretend", 1603),  # success without a patch
        ]
        for code, sleep_ms, reported in cases:
            with self.subTest(code=code, sleep_ms=sleep_ms):
                shutil.rmtree(wb.DRIVE_C / "Srv", ignore_errors=True)
                before = [(wb.tree_digest(wb.make_tree(t)), [t.name]) for t in trees]
                pretend = sleep_ms == "pretend"
                run = wb.run_setup("C:\\Upd\\setup.exe /qn", standin_exit=code,
                                   standin_sleep_ms=None if pretend else sleep_ms,
                                   timeout_ms=30000, check_paths=[wb.win(t) for t in trees],
                                   extra_env={"STANDIN_PRETEND": "1"} if pretend else None)
                self.assertExit(run, reported)
                self.assertEqual(list(run.record["exists"].values()), [False, False], run)
                self.assertEqual([(wb.tree_digest(t), os.listdir(t.parent)) for t in trees],
                                 [(wb.tree_digest(UPD / "none"), [])] * 2
                                 if reported in (0, 3010, 1641) else before)
                # The record says what the run was asked, what became of each tree and its code.
                settled = "removed" if reported in (0, 3010, 1641) else "moved back"
                events = [line.split(" ", 2)[2] for line in run.log]
                self.assertEqual([e for e in events if e.startswith(("opt", "user", "tree", "exit", "msi"))],
                                 ["options: /qn", "user: " + pwd.getpwuid(os.getuid()).pw_name,
                                  "tree moved aside: twk",
                                  "tree moved aside: admin-console", "msiexec exit %d" % code,
                                  "tree %s: twk" % settled,
                                  "tree %s: admin-console" % settled, "exit %d" % reported])
        # A file put at a tree's name meanwhile is never replaced: that tree stays aside.
        shutil.rmtree(wb.DRIVE_C / "Srv", ignore_errors=True)
        self.addCleanup(shutil.rmtree, wb.DRIVE_C / "Srv", True)  # a file where a tree goes
        digest = wb.tree_digest(wb.make_tree(trees[0]))
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", standin_exit=1603,
                           extra_env={"STANDIN_MAKE": wb.win(trees[0])})
        self.assertExit(run, 1603)
        self.assertEqual((trees[0].is_file() and trees[0].read_text(),
                          wb.tree_digest(wb.aside(trees[0]))), ("new", digest))

    def test_the_package_is_held_while_the_installer_runs(self):
        # Another process may read it, never change it: the file msiexec
        # reads is the one that was checked.
        for sums in (False, True):
            with self.subTest(sums=sums):
                package = wb.make_package(UPD, sums=sums)
                run = wb.run_setup("C:\\Upd\\setup.exe /qn", extra_env={"STANDIN_PROBE": "1"})
                self.assertExit(run, 0)
                self.assertEqual((run.record["write"], run.record["rename"], run.record["read"],
                                  run.record["record"]), ("32", "32", "0", "0"), run)
                with wb.held_open(wb.win(package / "Files" / wb.PACKAGE_NAME)):
                    pass  # released: another process may hold it alone again

    def test_text_outside_the_ansi_code_page_arrives_intact(self):
        # C.UTF-8: Wine runs en-US with code page 1252 and hands UTF-8
        # arguments over as they are.
        wb.make_package(UPD)
        tail = " /qn INSTALLDIR=\"D:\\Журнал\" NOTE=café LABEL=日本 /s"
        run = wb.run_setup("C:\\Upd\\setup.exe" + tail, lang="C.UTF-8")
        self.assertExit(run, 0)
        self.assertTrue(run.command_line.endswith(
            wb.PACKAGE_NAME + " /qn INSTALLDIR=\"D:\\Журнал\" NOTE=café LABEL=日本 "), run)

    def test_an_installer_exiting_with_259_does_not_hang_the_updater(self):
        # Wine's cmd turns a child's 259 into 0; a cmd that hands it on is
        # covered by the unit test of the poll. Here: the run ends.
        wb.make_package(UPD)
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", standin_exit=259, timeout_ms=30000)
        self.assertIsInstance(run.exit_code, int, run)
        self.assertTrue(run.launched)

    def test_folder_with_cmd_special_characters_is_quoted(self):
        for folder in ("A&B^C", "A!OS!B"):  # cmd runs with /V:OFF: "!OS!" stays
            with self.subTest(folder=folder):
                package = wb.make_package(wb.DRIVE_C / folder)
                run = wb.run_setup("\"C:\\%s\\setup.exe\" /qn" % folder)
                self.assertExit(run, 0)
                self.assertEqual(run.record["package_found"], "1", run)
                self.assertEqual(run.record["cwd_long"].lower(), wb.win(package / "Files").lower())


class RealPatch(MachineTest):
    """The real update package, applied by Wine's own msiexec."""

    def setUp(self):
        super().setUp()
        self.install_dir = "C:\\Program Files\\TallowickTest\\"  # the product's InstallLocation

    def check_server(self, version):
        self.assertEqual(wb.version_string(), version)
        self.assertEqual(wb.installed_version(), version)
        self.assertEqual(wb.installed_file_first_line(), "Tallowick Server " + version)

    def test_both_releases_are_patched_from_a_folder_with_a_blank(self):
        for release in ("14.0.2.226", "14.0.1.204"):
            with self.subTest(release=release):
                wb.reset_machine()
                wb.install_product(release)
                self.check_server(release)
                for tree in wb.stale_trees(self.install_dir):
                    wb.make_tree(tree)
                # As the vendor ships it: SHA256SUMS lists the patch package.
                wb.vendor_package(wb.DRIVE_C / "Upd Dir")
                run = wb.run_setup("\"C:\\Upd Dir\\setup.exe\" /qn", standin=False,
                                   timeout_ms=120000)
                self.assertExit(run, 0)
                self.check_server("14.0.3.301")
                for tree in wb.stale_trees(self.install_dir):  # gone, nothing aside
                    self.assertEqual((tree.exists(), wb.aside(tree).exists()), (False, False))

                # The same package on the patched server: not eligible.
                run = wb.run_setup("\"C:\\Upd Dir\\setup.exe\"", standin=False)
                self.assertExit(run, 1)
                self.assertIsNotNone(run.box, run)
                self.check_server("14.0.3.301")


class NothingDestroyedWhenThePatchCannotRun(MachineTest):
    def setUp(self):
        super().setUp()
        wb.install_product("14.0.2.226")
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
        shutil.rmtree(wb.DRIVE_C / "Srv", ignore_errors=True)
        self.trees = {t: wb.tree_digest(wb.make_tree(t)) for t in wb.stale_trees("C:\\Srv\\")}

    def assertTreesKept(self):
        for tree in wb.stale_trees("C:\\Srv\\"):
            self.assertEqual(wb.tree_digest(tree), self.trees[tree], tree)
            self.assertEqual([p.name for p in tree.parent.iterdir()], [tree.name])

    def test_missing_patch_package(self):
        for layout in ("no Files folder", "empty Files folder", "Files is a file",
                       "package is a folder"):
            with self.subTest(layout=layout):
                package = wb.make_package(UPD, msp=None)
                files = package / "Files"
                if layout == "no Files folder":
                    files.rmdir()
                elif layout == "Files is a file":
                    files.rmdir()
                    files.write_text("x")
                elif layout == "package is a folder":
                    (files / wb.PACKAGE_NAME).mkdir()
                run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                self.assertExit(run, 1635)  # as msiexec for a missing .msp
                self.assertNotLaunched(run)
                self.assertTreesKept()

    def test_command_too_long_or_changed_by_cmd(self):
        # cmd would expand %OS% in the package's path: msiexec would get another one.
        for folder, tail in (("Upd", "a" * 5000), ("P%OS%Q", "/qn"), ("Upd", "/qn P=%WINDIR%"),
                             ("Upd", "/qn\nP=1"), ("Upd", "P=%s /qn" % ("a" * 1000)),
                             ("Upd", "P=%WINDIR%"), ("Upd", "/qn /norestart /?"),  # help, and
                             ("Upd", "/qn /x " + wb.PRODUCT_CODE),  # operations, not this patch
                             ("Upd", "/qn -Uninstall " + wb.PRODUCT_CODE)):
            with self.subTest(folder=folder, tail=tail[:20]):
                wb.make_package(wb.DRIVE_C / folder)
                run = wb.run_setup("C:\\%s\\setup.exe %s" % (folder, tail))
                self.assertExit(run, 1639)
                self.assertEqual(run.box is None, "/qn" in tail, run)  # read past 999 too
                if run.box:  # the hint only where the options hold %...%
                    self.assertEqual("%...%" in run.box["text"], "%" in tail, run.box)
                self.assertNotLaunched(run)
                self.assertTreesKept()

    def test_a_package_cut_short_is_refused_by_its_digest(self):
        # Never handed to Wine's msi.dll: it would call the cut patch applicable.
        whole = wb.patch_package().read_bytes()
        wb.make_package(UPD, msp=whole[:len(whole) // 2], sums=True)
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", extra_env={"TZ": "Asia/Tokyo"})
        self.assertExit(run, 1636)
        stamp = datetime.datetime.strptime(run.log[0][:23], "%Y-%m-%dT%H:%M:%S.%f")  # UTC, not Tokyo's
        self.assertLess(abs(datetime.datetime.utcnow() - stamp), datetime.timedelta(hours=1))
        self.assertNotLaunched(run)
        self.assertTreesKept()
        self.assertEqual([line.split(" ", 2)[2] for line in run.log[-2:]],
                         ["refused 1636", "exit 1636"])
        for cut in (0, 50, 90):  # a list cut short too, before or inside the name
            sums = wb.make_package(UPD, msp=whole[:len(whole) // 2], sums=True) / "SHA256SUMS"
            sums.write_bytes(sums.read_bytes()[:cut])
            self.assertExit(wb.run_setup("C:\\Upd\\setup.exe /qn"), 1636)
            self.assertTreesKept()
        # A stamped setup.exe runs the patch it was made for and no other, whatever
        # SHA256SUMS says or whether it is there.
        changed = whole[:-1] + bytes([whole[-1] ^ 1])
        for msp, sums, code in ((changed, True, 1636), (changed, False, 1636), (whole, False, 0)):
            package = wb.vendor_package(UPD)
            (package / "Files" / wb.PACKAGE_NAME).write_bytes(msp)
            (package / "SHA256SUMS").unlink()
            if sums:
                wb.write_sums(package)
            run = wb.run_setup("C:\\Upd\\setup.exe /qn")
            self.assertEqual((run.exit_code, run.launched), (code, code == 0), run)
            if code:
                self.assertTreesKept()

    def test_a_package_the_installer_will_not_apply(self):
        # No SHA256SUMS: the Windows Installer judges. Wine gives 1642 for both;
        # Windows documents 1636 for a file that is no patch.
        whole = wb.patch_package().read_bytes()
        code = wb.PRODUCT_CODE.encode()
        other = code.replace(b"5B1E", b"5B1F")
        another = whole.replace(code, other).replace(
            code.decode().encode("utf-16-le"), other.decode().encode("utf-16-le"))
        self.assertNotIn(code, another)
        cases = [  # (what, package, SHA256SUMS listing the real patch, exit codes)
            ("a text file", "text", False, (1636, 1642)),
            ("a patch for another product", another, False, (1636, 1642)),
            ("another product's, listed with another digest", another, True, (1636,)),
        ]
        for what, msp, sums, codes in cases:
            with self.subTest(what):
                wb.make_package(UPD, msp=msp, sums=sums)
                run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                self.assertIn(run.exit_code, codes, run)
                self.assertNotLaunched(run)
                self.assertTreesKept()

    def test_checks_that_cannot_run_refuse(self):
        # Neither a verdict, a digest nor a process: each refuses before the
        # removal, with a code that names the machine's fault.
        system32 = wb.DRIVE_C / "windows" / "system32"

        def cached_package_gone(version="14.0.2.226", entry=None):
            # Cleaning C:\Windows\Installer to free space: the Windows
            # Installer knows the release but cannot judge the patch.
            wb.uninstall_product()
            source = wb.DRIVE_C / "acc" / "server.msi"
            source.parent.mkdir(exist_ok=True)
            shutil.copyfile(wb.product_msi(version), source)
            wb.wine(["msiexec", "/i", wb.win(source), "/qn"])
            self.assertEqual(wb.version_string(), version)
            if entry:  # an uninstall entry that names the other release
                wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", entry)
            wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
            source.unlink()
            cache = wb.DRIVE_C / "windows" / "Installer"
            parked = wb.DRIVE_C / "acc" / "parked"
            parked.mkdir(exist_ok=True)
            for msi in cache.glob("*.msi"):
                shutil.move(str(msi), str(parked / msi.name))

            def undo():  # or the product could not be removed
                for msi in parked.glob("*.msi"):
                    shutil.move(str(msi), str(cache / msi.name))
                shutil.rmtree(wb.DRIVE_C / "acc")
            return undo

        def cmd_missing():
            (system32 / "cmd.exe").rename(system32 / "cmd.exe.away")
            return lambda: (system32 / "cmd.exe.away").rename(system32 / "cmd.exe")

        def msiexec_missing():
            (system32 / "msiexec.exe").rename(system32 / "msiexec.exe.away")
            return lambda: (system32 / "msiexec.exe.away").rename(system32 / "msiexec.exe")

        def msi_without_the_verdict_call():
            # The test bed's msi.dll confirms the release and has no
            # MsiDeterminePatchSequenceW.
            (system32 / "msi.dll").rename(system32 / "msi.dll.away")
            shutil.copyfile(wb.TESTBIN / "msi.dll", system32 / "msi.dll")
            return lambda: (system32 / "msi.dll.away").replace(system32 / "msi.dll")

        cases = [  # (what, set-up returning its undo, overrides, exit codes)
            ("cached package gone", cached_package_gone, None, {1612}),
            ("cached package gone, the entry one release on",
             lambda: cached_package_gone("14.0.1.204", "14.0.2.226"), None, {1612}),
            ("msi.dll without the verdict", msi_without_the_verdict_call, "msi=n", {127}),
            ("cmd.exe missing", cmd_missing, None, {2}),  # ERROR_FILE_NOT_FOUND
            ("msiexec.exe missing", msiexec_missing, None, {2}),
            ("bcrypt.dll unavailable", lambda: (lambda: None), "bcrypt=d", {126}),  # MOD_NOT_FOUND
        ]
        for what, arrange, overrides, codes in cases:
            with self.subTest(what):
                self.setUp()
                wb.make_package(UPD, sums=True)
                undo = arrange()
                try:
                    run = wb.run_setup("C:\\Upd\\setup.exe /qn", overrides=overrides)
                finally:
                    undo()
                self.assertIn(run.exit_code, codes, run)
                self.assertNotLaunched(run)
                self.assertTreesKept()

    def test_a_refusal_is_shown_unless_quiet(self):
        wb.make_package(UPD, msp=None)
        unseen = {"WTOOL_STATION": "1"}  # a deployment agent's window station
        for tail, station, shown, code in (("", None, 1, 1635), (" /qn", None, 0, 1635),
                                           (" /qb+", None, 0, 1635),  # a person at the console
                                           (" -Passive", None, 0, 1635), (" /qn", unseen, 0, 1635),
                                           ("", unseen, 0, 1639), (" /qf", unseen, 0, 1639)):
            with self.subTest(tail=tail, station=bool(station)):
                run = wb.run_setup("C:\\Upd\\setup.exe" + tail, extra_env=station,
                                   timeout_ms=20000)
                self.assertExit(run, code)
                self.assertNotLaunched(run)
                self.assertEqual(run.box is not None, bool(shown), run)
                if shown:
                    self.assertEqual(run.box["caption"], "Tallowick Server 14")
                    # Windows' text, then the code on the next line: no blank line.
                    self.assertRegex(run.box["text"], r"\S *\r?\n\(1635\)$")
                    self.assertEqual((run.box["buttons"], run.box["icon"]), ("1", "1"), run.box)
        self.assertTreesKept()

    def test_a_package_held_by_another_process_is_waited_for(self):
        # An antivirus scan of the fresh copy: a moment is waited out; a
        # longer hold gives the Windows error, "retry later".
        for held, what, held_ms, code in (("Files/" + wb.PACKAGE_NAME, "hold", 1500, 0),
                                          ("Files/" + wb.PACKAGE_NAME, "hold", 60000, 32),
                                          ("SHA256SUMS", "hold", 60000, 32),  # being copied
                                          ("SHA256SUMS", "share", 60000, 0)):  # being read
            with self.subTest(held=held, what=what, held_ms=held_ms):
                self.setUp()
                package = wb.make_package(UPD, sums=True)
                with wb.held_open(wb.win(package / held), ms=held_ms, what=what):
                    run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                self.assertExit(run, code)
                self.assertEqual(run.launched, code == 0, run)
                if code:
                    self.assertTreesKept()

    def test_eligible_only_through_the_registry_goes_on_to_the_launch(self):
        # The installer knows no such product, so it gives no verdict on the patch.
        wb.uninstall_product()
        wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", "14.0.2.226")
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
        wb.make_package(UPD, sums=True)
        run = wb.run_setup("C:\\Upd\\setup.exe /qn")  # Wine's msiexec, through the stand-in
        self.assertExit(run, 1605)
        self.assertEqual(run.record["package_found"], "1", run)
        [wb.make_tree(t) for t in wb.stale_trees("C:\\Srv\\")]  # Wine's msiexec fails: back
        self.assertExit(wb.run_setup("C:\\Upd\\setup.exe /qn", standin=False), 1605)
        self.assertTreesKept()

    def test_a_reader_that_locks_the_package_after_the_checks(self):
        # Once the trees are away: Wine's msiexec fails (1627), the trees come back.
        package = wb.make_package(UPD, sums=True) / "Files" / wb.PACKAGE_NAME
        with wb.held_open(wb.win(package), what="lock", gone_path=wb.win(list(self.trees)[0])):
            run = wb.run_setup("C:\\Upd\\setup.exe /qn", standin=False)
        self.assertEqual((run.exit_code, wb.version_string()), (1627, "14.0.2.226"), run)
        self.assertTreesKept()


if __name__ == "__main__":
    unittest.main()
