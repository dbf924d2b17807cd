"""The stale component removal on real files and registry values: the two
trees go, and nothing outside them ever does."""

import contextlib
import os
import shutil
import unittest

from bed import MachineTest
import winebed as wb

SRV = wb.DRIVE_C / "Srv"
OUTSIDE = wb.DRIVE_C / "Outside"
TREE = ("a.txt", ".hidden", "noext", "sub/b.txt", "sub/deeper/c.dat")


def stale(install_dir, index):
    return wb.stale_trees(install_dir)[index]


class StaleRemoval(MachineTest):
    def setUp(self):
        super().setUp()
        wb.install_product("14.0.2.226")
        wb.make_package(wb.DRIVE_C / "Upd")
        wb.make_tree(OUTSIDE, ["keep%d.txt" % i for i in range(20)] + ["deep/keep.txt"])
        self.outside = wb.tree_digest(OUTSIDE)

    def tearDown(self):
        for root in (SRV, OUTSIDE):
            os.system("chmod -R u+w '%s' 2>/dev/null; rm -rf '%s'" % (root, root))

    def run_update(self, install_dir, reg_type=wb.REG_SZ, cwd=None, check=()):
        if install_dir is not None:
            wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", install_dir, reg_type)
        run = wb.run_setup("C:\\Upd\\setup.exe /qn", cwd=cwd, check_paths=check)
        self.assertExit(run, 0)
        self.assertTrue(run.launched, run)
        self.assertEqual(wb.tree_digest(OUTSIDE), self.outside, "files outside were touched")
        return run

    def test_both_trees_go_before_the_installer_starts_and_their_siblings_stay(self):
        twk, console = stale("C:\\Srv\\", 0), stale("C:\\Srv\\", 1)
        wb.make_tree(twk, TREE)
        wb.make_tree(console, TREE)
        wb.make_tree(twk.parent, ["sibling.txt", "twk-old/x.txt"])
        wb.make_tree(console.parent, ["start.bat", "admin-console-old/y.txt"])
        checks = ["C:\\Srv\\" + s for s in wb.STALE_SUFFIXES]
        run = self.run_update("C:\\Srv\\", check=checks)
        for path in checks:
            self.assertFalse(run.record["exists"][path], "still there when the installer ran")
        self.assertFalse(twk.exists())
        self.assertFalse(console.exists())
        for kept in (twk.parent / "sibling.txt", twk.parent / "twk-old" / "x.txt",
                     console.parent / "start.bat", console.parent / "admin-console-old" / "y.txt"):
            self.assertTrue(kept.exists(), kept)

    def test_empty_tree_and_a_path_that_names_a_file(self):
        twk, console = stale("C:\\Srv\\", 0), stale("C:\\Srv\\", 1)
        twk.mkdir(parents=True)
        console.parent.mkdir(parents=True)
        console.write_text("a file, not a directory")
        self.run_update("C:\\Srv\\")
        self.assertFalse(twk.exists())
        self.assertTrue(console.is_file())

    def test_a_read_only_file_goes_with_its_tree(self):
        for tree in wb.stale_trees("C:\\Srv\\"):  # read-only to Wine
            os.chmod(wb.make_tree(tree, TREE + ("sub/locked.txt",)) / "sub" / "locked.txt", 0o444)
        # One with a second link outside: its attribute is the outside file's too.
        os.link(stale("C:\\Srv\\", 1) / "sub" / "locked.txt", OUTSIDE / "linked.txt")
        self.outside = wb.tree_digest(OUTSIDE)
        self.run_update("C:\\Srv\\")
        self.assertEqual([os.listdir(stale("C:\\Srv\\", i).parent) for i in range(2)],
                         [[], ["admin-console.v3update-aside"]])
        self.assertEqual(os.stat(OUTSIDE / "linked.txt").st_mode & 0o222, 0, "made writable")

    def test_links_are_never_followed(self):
        twk = stale("C:\\Srv\\", 0)
        wb.make_tree(twk, TREE)
        # Directory links only: Wine 8 shows a Unix symlink to a file as a
        # plain file (no reparse attribute), and its DeleteFileA then
        # deletes the target. Windows marks file links as reparse points.
        os.symlink(OUTSIDE, twk / "link-to-outside")
        console = stale("C:\\Srv\\", 1)
        console.parent.mkdir(parents=True)
        os.symlink(OUTSIDE, console)  # the stale directory itself a link
        self.run_update("C:\\Srv\\")
        self.assertFalse((twk / "a.txt").exists())
        self.assertFalse((twk / "sub").exists())
        self.assertEqual(wb.tree_digest(OUTSIDE)[1], 21 + 1)

    def test_installation_directory_without_backslash(self):
        decoy = wb.c_path("C:\\SrvWeb Publishing\\publishing-engine\\jwpc-tomcat\\twk")
        wb.make_tree(decoy, TREE)
        twk = stale("C:\\Srv\\", 0)
        wb.make_tree(twk, TREE)
        self.run_update("C:\\Srv")
        self.assertFalse(twk.exists())
        self.assertEqual(wb.tree_digest(decoy)[1], 7)
        os.system("rm -rf '%s'" % (wb.DRIVE_C / "SrvWeb Publishing"))

    def test_unusable_installation_directories_remove_nothing(self):
        # Relative values would resolve against the current directory: give
        # the updater one that holds both trees, and C:\ too.
        work = wb.DRIVE_C / "Work"
        roots = [work, work / "Srv", wb.DRIVE_C]
        for root in roots:
            for suffix in wb.STALE_SUFFIXES:
                wb.make_tree(root / suffix.replace("\\", "/"), TREE)
        cases = [  # (registry type, data)
            (wb.REG_SZ, b"\0"),
            (wb.REG_DWORD, b"\x01\0\0\0"),
            (wb.REG_SZ, b"Srv\\\0"),
            (wb.REG_SZ, b"\\\0"),
            (wb.REG_SZ, b"C:\0"),
            (wb.REG_BINARY, b"C:\\" + b"x" * 257),  # 260 bytes, no zero
        ]
        try:
            for reg_type, data in cases:
                with self.subTest(data=data[:12]):
                    wb.reg_set(wb.SERVICES_KEY, "InstallLocation", reg_type, data)
                    self.run_update(None, cwd="C:\\Work")
                    for root in roots:
                        for suffix in wb.STALE_SUFFIXES:
                            tree = root / suffix.replace("\\", "/")
                            self.assertEqual(wb.tree_digest(tree)[1], 7, tree)
        finally:
            for top in ("Work", "Web Publishing", "Admin"):
                os.system("rm -rf '%s'" % (wb.DRIVE_C / top))

    def test_long_installation_directories_are_never_cut(self):
        # 208 characters: the old path-based removal could not list the
        # first tree. Entries are opened relative to their folder now.
        install = "C:\\" + "L" * 204 + "\\"
        twk, console = stale(install, 0), stale(install, 1)
        wb.make_tree(twk, ["a.txt", "noext"])
        wb.make_tree(console, ["a", "s/b"])
        self.run_update(install)
        self.assertFalse(twk.exists())
        self.assertFalse(console.exists())
        os.system("rm -rf '%s'" % wb.c_path(install))

        # 230 characters: a truncating copy would name this decoy, the first 259.
        install = "C:\\" + "M" * 226 + "\\"
        cut = (install + wb.STALE_SUFFIXES[0])[:259]
        decoy = wb.c_path(cut)
        wb.make_tree(decoy, ["a.txt", "noext", "s/b"])
        wb.make_tree(stale(install, 0), ["a.txt"])
        self.run_update(install)
        self.assertEqual(wb.tree_digest(decoy)[1], 4)
        self.assertFalse(stale(install, 0).exists())
        os.system("rm -rf '%s'" % wb.c_path(install))

    def test_a_link_on_the_way_leaves_that_tree_alone(self):
        # jwpc-tomcat itself a link out of the installation directory.
        twk = stale("C:\\Srv\\", 0)
        wb.make_tree(OUTSIDE / "twk", TREE)
        twk.parent.parent.mkdir(parents=True)
        os.symlink(OUTSIDE, twk.parent)
        console = stale("C:\\Srv\\", 1)
        wb.make_tree(console, TREE)
        self.outside = wb.tree_digest(OUTSIDE)
        self.run_update("C:\\Srv\\")
        self.assertEqual(wb.tree_digest(OUTSIDE / "twk")[1], 7)
        self.assertFalse(console.exists())

    def test_a_folder_name_outside_the_ansi_code_page(self):
        # Read as UTF-16: the folder is found under a Western system language,
        # and the code page 932 name 表 (last trail byte 0x5C) is no separator.
        for name in ("Журнал", "表"):
            with self.subTest(name=name):
                install = "C:\\" + name
                wb.wine(["reg", "add", "HKLM\\" + wb.SERVICES_KEY, "/v", "InstallLocation",
                         "/d", install, "/f"], lang="C.UTF-8")
                wb.make_tree(stale(install + "\\", 0), TREE)
                run = self.run_update(None)
                self.assertFalse(stale(install + "\\", 0).exists())
                self.assertIn("installation folder: " + install, "\n".join(run.log))  # in UTF-8
                os.system("rm -rf '%s'" % wb.c_path(install))

    def test_only_what_is_ours_moves_and_a_held_tree_refuses(self):
        # msiexec would fail: refused before it, nothing moved, the box names the path.
        twk, console = stale("C:\\Srv\\", 0), stale("C:\\Srv\\", 1)
        wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", "C:\\Srv\\")
        cases = [  # (what, set-up, the path named, exit code)
            ("a folder", lambda: wb.make_tree(wb.aside(twk), ["evil.jsp"]), wb.aside(twk), 183),
            ("a folder, no tree", lambda: shutil.rmtree(twk) or wb.make_tree(wb.aside(twk)),
             wb.aside(twk), 183),
            ("a file", lambda: wb.aside(console).write_text("x"), wb.aside(console), 183),
            ("a link", lambda: os.symlink(OUTSIDE, wb.aside(twk)), wb.aside(twk), 183),
            ("held", lambda: wb.held_open(wb.win(console), what="cwd"), console, 170),
            ("held, no sharing", lambda: wb.held_open(wb.win(twk), what="dir"), twk, 170),
        ]
        for what, plant, named, code in cases:
            with self.subTest(what):
                shutil.rmtree(SRV, ignore_errors=True)
                [wb.make_tree(t, TREE) for t in (twk, console)]
                held = plant()
                before = [wb.tree_digest(t.parent) for t in (twk, console)]
                with held if what.startswith("held") else contextlib.nullcontext():
                    run = wb.run_setup("C:\\Upd\\setup.exe", standin_exit=1603)
                self.assertEqual((run.exit_code, run.launched), (code, False), run)
                self.assertEqual([wb.tree_digest(t.parent) for t in (twk, console)], before)
                self.assertIn(("setup.exe did not put %s there: " if code == 183 else
                               "The server's own programs hold %s (its") % wb.win(named), run.box["text"])
                self.assertIn(" refused %d: %s" % (code, wb.win(named)), "\n".join(run.log))
                self.assertNotIn("tree held by", "\n".join(run.log))  # Wine's Restart Manager names none

    def test_missing_key_or_trees_still_launch(self):
        wb.reg_delete(wb.SERVICES_KEY)
        self.run_update(None)  # no key at all
        self.run_update("C:\\Srv\\")  # value present, trees absent


if __name__ == "__main__":
    unittest.main()
