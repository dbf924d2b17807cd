"""Bad input, faults and planted files, end to end. Every case runs the real
setup.exe under a watchdog and checks: a defined exit code (never a crash
code), no hang, nothing outside the two stale trees deleted (a decoy tree's
checksum, before and after), and whether the installer was started."""

import contextlib
import os
from pathlib import Path
import shutil
import subprocess
import threading
import time
import unittest

from bed import MachineTest
import winebed as wb

UPD = wb.DRIVE_C / "Upd"
SRV = "C:\\Srv\\"
DECOY = wb.DRIVE_C / "Decoy"
TREE = ("a.txt", "noext", ".hidden", "sub/b.txt")
FIXED = len("/D /V:OFF /C C:\\windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
            "c:\\upd\\Files\\TallowickServer14v3Update.msp ")
NOT_ELIGIBLE, TOO_LONG, NO_PACKAGE, BAD_COMMAND, BUSY = 1, 206, 1635, 1639, 1618


def stale(install_dir, i):
    return wb.stale_trees(install_dir)[i]


class Matrix(MachineTest):
    """Results are tallied for the figures: cases tried, passed, files lost, hangs."""

    def setUp(self):
        super().setUp()
        wb.install_product("14.0.2.226")  # a success is the stand-in's real patch
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", SRV)
        wb.make_package(UPD)
        for i in range(2):
            wb.make_tree(stale(SRV, i), TREE)
            wb.make_tree(stale(SRV, i).parent, ("sibling.txt",))
        wb.make_tree(DECOY, ["f%d.txt" % i for i in range(30)] + ["d/e/g.txt"])
        self.decoy = wb.tree_digest(DECOY)

    def tearDown(self):
        for path in (wb.DRIVE_C / "Srv", DECOY):
            os.system("chmod -R u+w '%s' 2>/dev/null; rm -rf '%s'" % (path, path))

    def check(self, run, codes, launched, trees_removed=None):
        self.assertNotEqual(run.exit_code, "timeout", "hang: %r" % run)
        self.assertIsInstance(run.exit_code, int, run)
        self.assertLess(run.exit_code, 0xC0000000, "crash code: %r" % run)
        self.assertIn(run.exit_code, codes, run)
        self.assertEqual(run.launched, launched, run)
        self.assertEqual(wb.tree_digest(DECOY), self.decoy, "a file outside the trees was lost")
        for i in range(2):
            self.assertTrue((stale(SRV, i).parent / "sibling.txt").exists())
        if trees_removed is not None:
            for i in range(2):
                self.assertEqual(not stale(SRV, i).exists(), trees_removed, stale(SRV, i))

    # --- command lines ---

    def test_command_lines(self):
        def tail_with_switches(n):  # n bytes, brought under the limit by whole "/s"
            return "/s " * 200 + "a" * (n - 600)
        cases = [  # (tail, exit codes, launched)
            ("a" * 32000, {BAD_COMMAND}, False),
            ("a" * 998, {BAD_COMMAND}, False),
            ("a" * 999, {BAD_COMMAND}, False),
            ("a" * 1000, {BAD_COMMAND}, False),
            ("a" * 1001, {BAD_COMMAND}, False),
            ("a" * (999 - FIXED), {0}, True),      # the longest command that fits
            ("a" * (1000 - FIXED), {BAD_COMMAND}, False),
            (tail_with_switches(998), {0}, True),
            (tail_with_switches(1001), {0}, True),
            ("/s" * 16000, {BAD_COMMAND}, False),  # one word, not a switch: kept, too long
        ]
        for tail, codes, launched in cases:
            with self.subTest(length=len(tail), head=tail[:6]):
                self.setUp()
                run = wb.run_setup("C:\\Upd\\setup.exe " + tail)
                self.check(run, codes, launched, trees_removed=launched)
                if launched:
                    self.assertNotIn("/s", run.command_line[FIXED - 1:])

    def test_every_byte_value_in_the_tail(self):
        # Characters 1-255 ("x" first: leading blanks and controls are skipped).
        # cmd.exe cannot hand on CR, LF or a %...% pair: refused; the rest
        # reaches msiexec as typed.
        tail = "x" + "".join(chr(c) for c in range(1, 256))
        kept = "".join(c for c in tail if c not in "\r\n%")
        for line, code in ((tail, BAD_COMMAND), (kept, 0)):
            with self.subTest(code=code):
                self.setUp()
                run = wb.run_setup("C:\\Upd\\setup.exe " + line)
                self.check(run, {code}, code == 0, trees_removed=code == 0)
                self.assertTrue(code or run.command_line.endswith(wb.PACKAGE_NAME + " " + kept))

    def test_unbalanced_quote_in_the_program_name(self):
        # Started by its path; the command line's first word has no closing
        # quote, so the whole line is the program name: no tail. The package
        # folder is the program's own, whatever the line says.
        for line in ("\"C:\\Upd\\setup.exe /qn", "\"C:\\Upd\\setup.exe qn"):
            run = wb.run_setup(line, extra_env={"WTOOL_APP": "C:\\Upd\\setup.exe"})
            self.check(run, {0}, True, trees_removed=True)
            self.assertTrue(run.command_line.endswith(wb.PACKAGE_NAME + " "), run)

    # --- program paths ---

    def test_program_paths(self):
        long_dir = "L" * (259 - len("C:\\\\setup.exe"))
        deep = "C:" + "\\ABCDEFGH" * 28  # 254 characters of 8.3 names
        deeper = "/".join(["ABCDEFGH"] * 25)  # its package path, 263 characters, stays long
        cases = [  # (package folder, program, command line, current dir, program path, codes)
            (long_dir, "setup.exe", "C:\\%s\\setup.exe /qn" % long_dir, None, None, {0}),
            ("Upd", "update.exe", "C:\\Upd\\update.exe /qn", None, None, {0}),
            ("A&B^C", "setup.exe", "\"C:\\A&B^C\\setup.exe\" /qn", None, None, {0}),
            # A bare name started from a folder too deep for the payload: the
            # program's own folder counts, not the current one.
            ("Upd", "setup.exe", "setup.exe /qn", deep, "C:\\Upd\\setup.exe", {0}),
            ("Upd", "setup.exe", "/qn", None, "C:\\Upd\\setup.exe", {0}),  # no program word
            # Named apart and written unquoted, blank and all.
            ("Upd Dir", "setup.exe", "C:\\upd dir\\setup.exe /qn", None, "C:\\Upd Dir\\setup.exe",
             {0}),
            ("Upd Dir", "setup.exe", "C:\\Upd Dir\\setup /qn", None, "C:\\Upd Dir\\setup.exe", {0}),
        ] + [("Upd Dir", "setup.exe", line, None, "C:\\Upd Dir\\setup.exe", {0})  # spelt otherwise
              for line in ("C:/Upd Dir/setup.exe /qn", "C:\\Upd Dir\\.\\setup.exe /qn",
                           "C:\\Upd Dir\\\\setup.exe /qn")]
        cases.append(("Upd", "setup.exe", "X " + "a" * 5000, None, "C:\\Upd\\setup.exe", {1639}))
        cases.append(("Upd", "setup.exe", "X" * 900 + " /qn", deep, "C:\\Upd\\setup.exe", {1639}))
        cases.append((deeper, "setup.exe", "C:\\%s\\setup.exe /qn" % deeper.replace("/", "\\"),
                      None, None, {TOO_LONG}))
        for folder, name, command, cwd, app, codes in cases:
            with self.subTest(command=command[:40]):
                self.setUp()
                if cwd:
                    wb.c_path(cwd).mkdir(parents=True, exist_ok=True)
                package = wb.make_package(wb.DRIVE_C / folder, exe_name=name)
                self.assertLessEqual(len(wb.win(package / name)), 259)
                run = wb.run_setup(command, cwd=cwd,
                                   extra_env={"WTOOL_APP": app} if app else None)
                self.check(run, codes, codes == {0}, trees_removed=codes == {0})
                if codes == {0}:
                    self.assertEqual(run.record["package_found"], "1", run)
                    forwarded = run.command_line.rsplit(wb.PACKAGE_NAME, 1)[1]
                    self.assertNotRegex(forwarded, r"\\|setup", "the program's path passed on")
                shutil.rmtree(package)
        shutil.rmtree(wb.DRIVE_C / "ABCDEFGH")

    # --- registry ---

    def test_display_version_shapes(self):
        cases = [  # (type, data, exit code)
            (wb.REG_SZ, b"1" * 258 + b"\0", NOT_ELIGIBLE),    # 259 bytes
            (wb.REG_SZ, b"1" * 259 + b"\0", NOT_ELIGIBLE),    # 260 bytes
            (wb.REG_SZ, b"1" * 299 + b"\0", NOT_ELIGIBLE),    # 300 bytes: unreadable
            (wb.REG_BINARY, b"1" * 260, NOT_ELIGIBLE),        # no zero
            (wb.REG_BINARY, b"14.0.2.226", 1605),  # no zero, terminated after its size; no product
            (wb.REG_DWORD, b"\x01\0\0\0", NOT_ELIGIBLE),
            (wb.REG_MULTI_SZ, b"14.0.2.226\0\0", 1605),       # its first string
            (wb.REG_EXPAND_SZ, b"%SystemRoot%\0", NOT_ELIGIBLE),
            (wb.REG_SZ, b"\0", NOT_ELIGIBLE),
        ]
        for reg_type, data, code in cases:
            with self.subTest(type=reg_type, size=len(data)):
                self.setUp()
                wb.uninstall_product()
                wb.reg_set(wb.UNINSTALL_KEY, "DisplayVersion", reg_type, data)
                run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                self.check(run, {code}, code != 1, trees_removed=False)
                self.assertIsNone(run.box, "/qn: no box, eligible or not")

    def test_install_location_shapes(self):
        relative = wb.DRIVE_C / "Work" / "%SystemRoot%"
        for i in range(2):
            wb.make_tree(relative / wb.STALE_SUFFIXES[i].replace("\\", "/"), TREE)
        relative_entries = wb.count_entries(relative)
        long_path = b"C:\\" + b"P" * 200 + b"\\"
        cases = [  # (type, data, trees at C:\Srv removed)
            (wb.REG_SZ, b"C:\\" + b"x" * 255 + b"\0", False),   # 259 bytes
            (wb.REG_SZ, b"C:\\" + b"x" * 256 + b"\0", False),   # 260 bytes
            (wb.REG_SZ, b"C:\\" + b"x" * 296 + b"\0", False),   # 300 bytes: unreadable
            (wb.REG_SZ, long_path + b"\0", False),
            (wb.REG_BINARY, b"C:\\Srv\\" + b"x" * 253, False),  # 260 bytes, no zero
            (wb.REG_DWORD, b"\x01\0\0\0", False),
            (wb.REG_MULTI_SZ, b"C:\\Srv\\\0\0", True),
            (wb.REG_EXPAND_SZ, b"%SystemRoot%\\\0", False),
            (wb.REG_SZ, b"\0", False),
            (wb.REG_SZ, b"C:\\Srv\\\0", True),
        ]
        try:
            for reg_type, data, removed in cases:
                with self.subTest(type=reg_type, size=len(data)):
                    self.setUp()
                    wb.reg_set(wb.SERVICES_KEY, "InstallLocation", reg_type, data)
                    run = wb.run_setup("C:\\Upd\\setup.exe /qn", cwd="C:\\Work")
                    self.check(run, {0}, True, trees_removed=removed)
                    self.assertEqual(wb.count_entries(relative), relative_entries)
        finally:
            shutil.rmtree(wb.DRIVE_C / "Work")

    # --- file system ---

    def test_link_to_the_windows_folder_inside_a_tree(self):
        windows = wb.DRIVE_C / "windows"  # C:\windows\Installer: the real patch's caches
        before = wb.count_entries(windows) - wb.count_entries(windows / "Installer") - 1  # the record
        os.symlink(windows, stale(SRV, 0) / "windows-link")
        run = wb.run_setup("C:\\Upd\\setup.exe /qn")
        self.check(run, {0}, True)
        self.assertEqual(wb.count_entries(windows) - wb.count_entries(windows / "Installer") - 1, before)
        self.assertFalse((stale(SRV, 0) / "a.txt").exists())
        self.assertFalse(stale(SRV, 1).exists())

    def test_the_run_record_is_never_written_through_a_link(self):
        # Its folder made when missing; a hard link at its name, or a link in
        # place of the folder, is left alone and the run goes on (check() sees the decoy).
        logs, made = wb.RUN_LOG.parent, wb.RUN_LOG.parent.with_name("Logs")  # Wine's, setup.exe's
        logs.rename(logs.with_name("logs.kept"))

        def clear():
            os.unlink(logs) if logs.is_symlink() else shutil.rmtree(logs, True)
            shutil.rmtree(made, True)
        self.addCleanup(lambda: (clear(), logs.with_name("logs.kept").rename(logs)))
        for plant in (lambda: None, lambda: (logs.mkdir(), os.link(DECOY / "f0.txt", wb.RUN_LOG)),
                      lambda: os.symlink(DECOY, logs)):
            plant()
            self.check(wb.run_setup("C:\\Upd\\setup.exe /qn"), {0}, True)
            self.assertEqual((made / wb.RUN_LOG.name).exists(), not logs.exists())
            clear()
        logs.mkdir()  # past 1 MiB: moved to the .old file, a new one begun
        wb.RUN_LOG.write_bytes(b"x" * (1 << 20))
        Path(str(wb.RUN_LOG) + ".old").write_bytes(b"the one before")
        self.check(wb.run_setup("C:\\Upd\\setup.exe /qn"), {0}, True)
        self.assertEqual((os.path.getsize(str(wb.RUN_LOG) + ".old"),
                          wb.RUN_LOG.read_bytes().count(b" start: ")), (1 << 20, 1))
        wb.RUN_LOG.write_bytes(b"x" * (1 << 20))  # a reader that denies the move: appended
        with wb.held_open(wb.win(wb.RUN_LOG), what="cwd"):
            self.check(wb.run_setup("C:\\Upd\\setup.exe /qn"), {0}, True)
        self.assertEqual(wb.RUN_LOG.read_bytes().count(b" start: "), 1)

    def test_stale_directory_itself_a_link(self):
        shutil.rmtree(stale(SRV, 1))
        os.symlink(DECOY, stale(SRV, 1))
        run = wb.run_setup("C:\\Upd\\setup.exe /qn")
        self.check(run, {0}, True)
        self.assertFalse(stale(SRV, 0).exists())

    def test_ten_thousand_entries(self):
        twk = stale(SRV, 0)
        for d in range(100):
            folder = twk / ("f%03d" % d)
            (folder / "sub").mkdir(parents=True)
            (folder / "sub" / "x.txt").write_text("x")
            for f in range(97):
                (folder / ("file%02d.txt" % f)).write_text("x")
        self.assertGreaterEqual(wb.count_entries(twk), 10000)
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", timeout_ms=300000,
                           check_paths=(wb.win(twk),))
        self.check(run, {0}, True, trees_removed=True)
        self.assertEqual(run.record["exists"], {wb.win(twk): False}, "msiexec ran mid-removal")

    def killed_while_the_installer_runs(self):
        before = [wb.tree_digest(stale(SRV, i)) for i in range(2)]
        env = {"WINEDLLOVERRIDES": "msiexec.exe=n", "STANDIN_SLEEP_MS": "60000"}
        self.addCleanup(lambda: [os.kill(pid, 9) for pid in wb.prefix_processes("SETUPEXEDIR")])
        runner = subprocess.Popen(["wine", wb.TESTBIN / "wtool.exe", "run", "60000",
                                   "C:\\Upd\\setup.exe /qn", "-"], env=wb.wine_env(env))
        # The stand-in's record, written as it starts (cmd.exe's line also names msiexec).
        self.assertTrue(wb.wait_for(lambda: (wb.DRIVE_C / "standin-record.txt").exists()))
        [os.kill(pid, 9) for pid in wb.prefix_processes("Upd\\setup.exe")]
        runner.wait()
        # cmd.exe and msiexec (the two lines that name SETUPEXEDIR) outlive it.
        self.assertFalse(wb.wait_for(lambda: len(wb.prefix_processes("SETUPEXEDIR")) < 2,
                                     seconds=5), "the job's kill was not lifted")
        self.assertEqual([wb.tree_digest(wb.aside(stale(SRV, i))) for i in range(2)], before)

    def test_killed_while_the_installer_runs(self):
        # The trees wait aside, whole and recorded; refused (1618) while its
        # msiexec runs on, the next run settles them: removed after its success,
        # back after its failure, removed on a server the killed run's msiexec
        # went on to patch (that run exits 1); one a program holds stays (170).
        for then, code in (("succeeds", 0), ("fails", 1603), ("patched", NOT_ELIGIBLE),
                           ("held", 170)):
            with self.subTest(then=then):
                [os.kill(pid, 9) for pid in wb.prefix_processes("SETUPEXEDIR")]
                shutil.rmtree(wb.DRIVE_C / "Srv")
                self.setUp()
                self.killed_while_the_installer_runs()
                if then == "succeeds":
                    self.check(wb.run_setup("C:\\Upd\\setup.exe /qn"), {BUSY}, False)
                [os.kill(pid, 9) for pid in wb.prefix_processes("SETUPEXEDIR")]
                if then == "fails":  # and a restart: the record outlives it
                    subprocess.run([wb.ROOT / "tools" / "wineprefix", "up", wb.PREFIX], check=True)
                if then == "patched":
                    wb.wine(["msiexec", "/p", wb.win(UPD / "Files" / wb.PACKAGE_NAME),
                             "REINSTALL=ALL", "/qn"])
                    wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", SRV)
                held = wb.aside(stale(SRV, 0))
                with wb.held_open(wb.win(held), what="cwd") if then == "held" else \
                        contextlib.nullcontext():
                    run = wb.run_setup("C:\\Upd\\setup.exe /qn", standin_exit=code)
                if then == "held":
                    self.check(run, {170}, False)
                    self.assertIn(" refused 170: " + wb.win(held), "\n".join(run.log))
                    continue
                self.check(run, {code}, code != NOT_ELIGIBLE, trees_removed=code != 1603)
                self.assertEqual([sorted(os.listdir(stale(SRV, i).parent)) for i in (0, 1)],
                                 [sorted(["sibling.txt"] + [stale(SRV, i).name] * (code == 1603))
                                  for i in (0, 1)])

    def test_two_runs_at_once(self):
        # The second refuses before anything changes; the first goes on alone.
        out, go = wb.DRIVE_C / "first-run.txt", wb.DRIVE_C / "go.flag"
        go.unlink(missing_ok=True)
        env = {"WINEDLLOVERRIDES": "msiexec.exe=n", "STANDIN_SLEEP_MS": "60000",
               "STANDIN_UNTIL": wb.win(go)}
        with open(out, "w") as first_out:
            first = subprocess.Popen(["wine", wb.TESTBIN / "wtool.exe", "run", "60000",
                                      "C:\\Upd\\setup.exe /qn", "-"], env=wb.wine_env(env),
                                     stdout=first_out, stderr=subprocess.DEVNULL)
            self.assertTrue(wb.wait_for(lambda: (wb.DRIVE_C / "standin-record.txt").exists()))
            wb.RUN_LOG.write_bytes(b"x" * (1 << 20))  # only the lock's holder moves it aside
            Path(str(wb.RUN_LOG) + ".old").unlink(missing_ok=True)
            second = wb.run_setup("C:\\Upd\\setup.exe /qn")
            go.write_text("go")
            first.wait()
        self.check(second, {BUSY}, False)
        # By the lock, before it looks for an earlier run's msiexec.
        self.assertRegex("\n".join(second.log), r" user: .*\n.* refused 1618\n")
        self.assertIn("exit 0", out.read_text())
        self.assertFalse(Path(str(wb.RUN_LOG) + ".old").exists())
        self.assertFalse(wb.RUN_LOG.with_suffix(".lock").exists())  # gone with its handle
        self.assertTrue(all(not stale(SRV, i).exists() and not wb.aside(stale(SRV, i)).exists()
                            for i in (0, 1)))

    def test_files_re_pointed_while_msiexec_waits(self):
        # msiexec gets the held file's own path, not the link's that is re-pointed.
        real, started = wb.DRIVE_C / "Real", wb.DRIVE_C / "e2e-run" / "record.txt"
        self.addCleanup(shutil.rmtree, real, True)
        (UPD / "Files").rename(real)
        os.symlink(real, UPD / "Files")
        started.unlink(missing_ok=True)
        mover = threading.Thread(target=lambda: wb.wait_for(started.exists) and (
            os.unlink(UPD / "Files"), os.symlink(DECOY, UPD / "Files")))
        mover.start()
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", standin_sleep_ms=2000)
        mover.join()
        self.check(run, {0}, True)
        self.assertIn("c:\\real\\" + wb.PACKAGE_NAME.lower(), run.command_line.lower())

    def test_nesting_beyond_the_path_limit_and_the_depth_bound(self):
        twk = stale(SRV, 0)
        deep = twk
        while len(wb.win(deep)) < 300:
            deep = deep / "nest"
        deep.mkdir(parents=True)
        (deep / "bottom.txt").write_text("x")
        console = stale(SRV, 1)
        bound = console / "/".join(["n"] * 1000)  # level 1,000 below the tree
        subprocess.run(["mkdir", "-p", str(bound / "below")], check=True)  # os.makedirs recurses
        (bound / "below" / "kept.txt").write_text("x")
        (bound / "at-the-bound.txt").write_text("x")
        (bound.parent / "gone.txt").write_text("x")
        run = wb.run_setup("C:\\Upd\\setup.exe /qn")
        self.check(run, {0}, True, trees_removed=True)
        bound = wb.aside(console) / "/".join(["n"] * 1000)  # what stays, stays aside
        self.assertFalse(twk.exists(), "removed by relative opens, whatever the path length")
        self.assertTrue((bound / "below" / "kept.txt").exists(), "beyond the depth bound: kept")
        self.assertTrue((bound / "at-the-bound.txt").exists(), "the folder at the bound: kept")
        self.assertFalse((bound.parent / "gone.txt").exists())
        self.assertFalse((wb.aside(console) / "a.txt").exists())

    def test_another_installation_running(self):
        # Busy while another process owns the mutex, or when it is there but
        # not ours to open (a DACL that denies us); left unowned, it is not.
        for what, code in (("unowned", 0), ("denied", BUSY), ("mutex", BUSY)):
            with self.subTest(what=what), wb.held_open("Global\\_MSIExecute", what=what):
                self.setUp()
                run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                self.check(run, {code}, code == 0, trees_removed=code == 0)
        with wb.held_open("Global\\_MSIExecute", what="mutex"):
            # The documented order: a missing package is told first.
            shutil.rmtree(UPD / "Files")
            run = wb.run_setup("C:\\Upd\\setup.exe /qn")
            self.check(run, {NO_PACKAGE}, False, trees_removed=False)

    def test_file_held_open_and_read_only_file(self):
        twk, console = stale(SRV, 0), stale(SRV, 1)
        os.chmod(console / "sub" / "b.txt", 0o444)
        # A writer that shares all: the file goes when it lets go.
        with wb.held_open(wb.win(twk / "sub" / "b.txt")), \
                wb.held_open(wb.win(console / "a.txt"), what="write"):
            run = wb.run_setup("C:\\Upd\\setup.exe /qn")
        self.check(run, {0}, True, trees_removed=True)
        wb.wait_for(lambda: (wb.aside(console) / "a.txt").exists(), until=False)
        # Held unshared: it stays, aside with its folder; the read-only file went.
        self.assertEqual([wb.count_entries(wb.aside(t)) for t in (twk, console)], [2, 0])
        # Still recorded: the next run takes them up as its own and removes them.
        self.check(wb.run_setup("C:\\Upd\\setup.exe /qn"), {0}, True)
        self.assertEqual([wb.aside(t).exists() for t in (twk, console)], [False, False])

    def test_patch_package_missing(self):
        for layout in ("no Files", "Files is a file"):
            with self.subTest(layout=layout):
                self.setUp()
                shutil.rmtree(UPD / "Files")
                if layout == "Files is a file":
                    (UPD / "Files").write_text("x")
                run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                self.check(run, {NO_PACKAGE}, False, trees_removed=False)

    # --- planted files ---

    def test_planted_files_are_never_loaded_or_run(self):
        # The box first, uxtheme.dll alone beside setup.exe: Windows loads it by name to draw.
        [mark.unlink() for mark in wb.DRIVE_C.glob("planted-*")]
        wb.uninstall_product()
        shutil.copyfile(wb.TESTBIN / "version.dll", UPD / "uxtheme.dll")
        wb.reg_set_text(wb.UNINSTALL_KEY, "DisplayVersion", "14.0.0.99")
        self.assertIsNotNone(wb.run_setup("C:\\Upd\\setup.exe", overrides="uxtheme=n,b").box)
        self.assertEqual(list(wb.DRIVE_C.glob("planted-*")), [], "the box loaded a planted DLL")
        (UPD / "uxtheme.dll").unlink()
        wb.reg_delete(wb.UNINSTALL_KEY)  # Wine's installer would not write its own
        wb.install_product("14.0.2.226")
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", SRV)
        plants = {"msi.dll": "msi.dll", "version.dll": "version.dll", "bcrypt.dll": "version.dll",
                  "cmd.exe": "planted_exe.exe", "msiexec.exe": "planted_exe.exe"}
        wb.write_sums(UPD)  # the digest check loads bcrypt.dll
        for folder in (UPD, UPD / "Files"):
            for name, source in plants.items():
                shutil.copyfile(wb.TESTBIN / source, folder / name)
        shutil.copyfile(wb.TESTBIN / "import_control.exe", UPD / "control.exe")
        prefer_native = "msi,version,bcrypt=n,b;cmd.exe=n,b"

        def marks():
            return sorted(p.name for p in wb.DRIVE_C.glob("planted-*"))

        for mark in wb.DRIVE_C.glob("planted-*"):
            mark.unlink()
        wb.run_setup("C:\\Upd\\control.exe", standin=False, overrides=prefer_native)
        loader_marks = marks()  # what Wine's loader takes before any code of ours runs
        for mark in wb.DRIVE_C.glob("planted-*"):
            mark.unlink()
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", overrides=prefer_native)
        self.check(run, {0}, True)
        self.assertEqual(marks(), loader_marks, "the updater loaded or ran a planted file")
        self.assertNotIn("planted-msi-loaded.txt", marks())
        self.assertNotIn("planted-bcrypt.dll-loaded.txt", marks())
        self.assertNotIn("planted-cmd.exe-ran.txt", marks())
        self.assertNotIn("planted-msiexec.exe-ran.txt", marks())
        print("\nloaded by Wine's loader for a control program with setup.exe's imports:",
              loader_marks or "nothing")


class Race(MachineTest):
    """A Linux thread keeps swapping folders inside twk for a moment each
    with a link to a decoy folder outside both trees, while setup.exe removes
    the tree. Run with SETUP_EXE=<other build> to try another removal."""

    RUNS, FOLDERS = 8, 30

    def test_swapped_folders_never_steer_the_removal(self):
        wb.install_product("14.0.2.226")
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", SRV)
        wb.make_package(UPD)
        twk = stale(SRV, 0)
        parking = twk.parent  # the real folders wait beside twk, inside the installation
        lost = 0
        try:
            for _ in range(self.RUNS):
                shutil.rmtree(DECOY, ignore_errors=True)
                wb.make_tree(DECOY, ["decoy%03d.txt" % i for i in range(200)])
                shutil.rmtree(twk, ignore_errors=True)
                shutil.rmtree(wb.aside(twk), ignore_errors=True)
                folders = [twk / ("f%02d" % i) for i in range(self.FOLDERS)]
                for folder in folders:
                    wb.make_tree(folder, ["x%02d.txt" % i for i in range(20)])
                stop = threading.Event()

                def swap():
                    while not stop.is_set():
                        for folder in (wb.aside(twk) / f.name for f in folders):  # removed there
                            park = parking / ("parked-" + folder.name)
                            try:
                                os.rename(folder, park)
                            except OSError:
                                continue  # already removed
                            os.symlink(DECOY, folder)
                            time.sleep(0.002)
                            os.unlink(folder)
                            os.rename(park, folder)

                swapper = threading.Thread(target=swap)
                swapper.start()
                try:
                    run = wb.run_setup("C:\\Upd\\setup.exe /qn")
                finally:
                    stop.set()
                    swapper.join()
                self.assertEqual(run.exit_code, 0, run)
                lost += 200 - wb.count_entries(DECOY)
        finally:
            print("\ndecoy files lost in %d runs: %d" % (self.RUNS, lost))
            for path in (wb.DRIVE_C / "Srv", DECOY):
                shutil.rmtree(path, ignore_errors=True)
        self.assertEqual(lost, 0)


if __name__ == "__main__":
    unittest.main()
