"""The demo: the update package run end to end under Wine, as an
administrator would run it, with a report in plain words.

It uses its own Wine prefix (build/wine/demo-prefix), installs release
14.0.2.226 of the server from a real MSI, runs the package's setup.exe from a
folder whose name has a blank, then removes the server and runs it again to
show the not-found message. msiexec.exe is replaced by the test bed's
recording stand-in, so the patch command can be shown; the update package
holds a placeholder patch package, since the build makes none up.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("BUILD_DIR", ROOT / "build"))
os.environ["WINEPREFIX"] = str(BUILD / "wine" / "demo-prefix")
sys.path.insert(0, str(ROOT / "tools"))

import winebed as wb  # noqa: E402

MEANINGS = {
    0: "the patch run succeeded",
    1: "no eligible release of Tallowick Server 14 is installed",
    206: "the update package's folder path is too long",
    1602: "the administrator cancelled the patch",
    1603: "the patch failed",
    1619: "the patch package is missing from the Files folder",
    1639: "the patch command would be too long",
    3010: "the patch succeeded; a restart is needed",
}


def say(text=""):
    print(text, flush=True)


def main():
    subprocess.run([str(ROOT / "tools" / "wineprefix"), "up", str(wb.PREFIX)], check=True)
    try:
        ok = demo()
    finally:
        subprocess.run([str(ROOT / "tools" / "wineprefix"), "down", str(wb.PREFIX)], check=False)
    say()
    say("Demo %s." % ("done: every step behaved as expected" if ok else "FAILED: see above"))
    return 0 if ok else 1


def demo():
    say("== Tallowick Server 14 v3 update: demo under Wine ==")
    say("Wine prefix: %s" % wb.PREFIX)
    wb.install_standin()
    wb.reset_machine()
    wb.install_product("14.0.2.226")
    say("Installed from a real MSI: Tallowick Server 14, release %s" % wb.installed_version())

    install_dir = "C:\\Tallowick\\Server\\"
    wb.reg_set_text(wb.SERVICES_KEY, "InstallLocation", install_dir)
    trees = wb.stale_trees(install_dir)
    for tree in trees:
        wb.make_tree(tree, ("index.jsp", "WEB-INF/web.xml", "lib/old.jar"))
    wb.make_tree(trees[0].parent, ("keep-me.txt",))
    say("Server installation directory (InstallLocation): %s" % install_dir)

    package = wb.DRIVE_C / "Update Package"
    if package.exists():
        shutil.rmtree(package)
    shutil.copytree(BUILD / "package", package)
    (package / "Files" / wb.PACKAGE_NAME).write_bytes(b"placeholder patch package\n")
    say("Update package copied to: %s (setup.exe, Files\\%s)" % (wb.win(package), wb.PACKAGE_NAME))

    say()
    command = "\"%s\\setup.exe\" /qn" % wb.win(package)
    say("Running: %s" % command)
    run = wb.run_setup(command, check_paths=[wb.win(t) for t in trees])
    for tree in trees:
        gone_before_installer = run.record and not run.record["exists"].get(wb.win(tree), True)
        say("  stale tree %s: found, %s%s" % (
            wb.win(tree), "still there" if tree.exists() else "removed",
            " (before the installer started)" if gone_before_installer else ""))
    say("  kept beside it: %s" % ("yes" if (trees[0].parent / "keep-me.txt").exists() else "NO"))
    if run.record:
        say("  the installer (msiexec stand-in) received:")
        say("    command line: %s" % run.record["cmdline"])
        say("    working directory: %s" % run.record["cwd"])
    else:
        say("  the installer was not started")
    say("  setup.exe exit code: %s (%s)" % (run.exit_code, MEANINGS.get(run.exit_code, "?")))
    ok = run.exit_code == 0 and run.launched and not any(t.exists() for t in trees)

    say()
    wb.uninstall_product()
    say("Server removed (msiexec /x). Running again: %s" % command)
    shot = "demo-not-found.png"
    run = wb.run_setup(command, lang="en_US.UTF-8", screenshot=shot)
    if run.box:
        say("  message box \"%s\": %s" % (run.box["caption"], run.box["text"].replace("\n", " / ")))
        say("  screenshot: %s" % (wb.SHOTS / shot))
        say("  the box was closed with OK")
    else:
        say("  no message box was shown")
    say("  installer started: %s" % ("yes" if run.launched else "no"))
    say("  setup.exe exit code: %s (%s)" % (run.exit_code, MEANINGS.get(run.exit_code, "?")))
    return ok and run.exit_code == 1 and run.box is not None and not run.launched


if __name__ == "__main__":
    sys.exit(main())
