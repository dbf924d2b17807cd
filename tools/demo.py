"""The demo: the update package run end to end under Wine, as an
administrator would run it, with a report in plain words.

It uses its own Wine prefix (build/wine/demo-prefix), installs release
14.0.2.226 of the server from a real MSI and puts the two stale
web-component trees under its installation folder. It makes the update
package as the vendor ships it (tools/package with the real v3 patch: Files,
SHA256SUMS, the zip), in build/demo so that build/package and its zip stay
as make package left them. It first runs a copy whose patch package was cut to half
its size (refused, nothing changed), then runs the package while another program
locks the patch package once the stale trees are out of the way (Wine's msiexec
fails after every check passed; the trees come back), then runs setup.exe
/qn /norestart from the package folder, whose name has a blank, with Wine's own msiexec. Then it runs the
package again on the patched server, which is no longer eligible: once with
/qn /norestart, as a deployment tool would (exit 1, no box to click), and
once as a person would, with no options (the not-found box). The prefix is
left as the demo ended, so that anyone can
look inside. Message boxes are drawn inside Wine's virtual desktop, with
their title bar, as a person sees them on Windows.
"""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("BUILD_DIR", ROOT / "build"))
os.environ["WINEPREFIX"] = str(BUILD / "wine" / "demo-prefix")
sys.path.insert(0, str(ROOT / "tools"))

import winebed as wb  # noqa: E402

MEANINGS = {
    0: "the patch was applied",
    1: "no eligible release of Tallowick Server 14 is installed",
    2: "cmd.exe could not be started; nothing was changed",
    32: "another program holds the patch package; retry later",
    33: "another program has locked the patch package; retry later",
    50: "a check could not run and Windows gave no reason",
    126: "bcrypt.dll could not be loaded, so the package could not be checked",
    206: "the update package's folder path is too long",
    1602: "the administrator cancelled the patch",
    1612: "the Windows Installer cannot judge the patch (its cached package is gone)",
    1603: "the patch failed",
    1618: "another installation is running",
    1627: "the installer could not run the patch (Wine's code for an unreadable package)",
    1635: "the patch package is missing from the Files folder",
    1636: "the patch package is not the one SHA256SUMS lists (cut short or changed)",
    1639: "the patch command would be too long",
    1642: "the patch does not apply to this installation",
    3010: "the patch was applied; a restart is needed",
}


def say(text=""):
    print(text, flush=True)


def prefix(step):
    subprocess.run([str(ROOT / "tools" / "wineprefix"), step, str(wb.PREFIX)], check=step == "up")


def main():
    prefix("up")
    # Wine reads the desktop setting when its desktop process starts.
    virtual_desktop()
    prefix("down")
    prefix("up")
    try:
        ok = demo()
    finally:
        prefix("down")
    say()
    say("The demo prefix is left as the demo ended, with the patched server installed:")
    say("  %s" % wb.PREFIX)
    say("  look inside: WINEPREFIX=%s wine regedit   (or ls '%s')" % (wb.PREFIX, wb.DRIVE_C))
    say()
    say("Demo %s." % ("done: every step behaved as expected" if ok else "FAILED: see above"))
    return 0 if ok else 1


def virtual_desktop():
    """Windows inside one Wine desktop window, drawn with their frames: Xvfb
    has no window manager to draw them."""
    wb.wine(["reg", "add", "HKCU\\Software\\Wine\\Explorer", "/v", "Desktop", "/d", "Default",
             "/f"])
    wb.wine(["reg", "add", "HKCU\\Software\\Wine\\Explorer\\Desktops", "/v", "Default", "/d",
             "1024x768", "/f"])


def report(title, trees):
    say(title)
    say("  Windows Installer VersionString: %s" % wb.version_string())
    say("  uninstall entry DisplayVersion:  %s" % wb.installed_version())
    say("  %s, first line: %s" % (wb.VERSION_FILE, wb.installed_file_first_line()))
    for tree in trees:
        state = "present, %d entries" % wb.count_entries(tree) if tree.exists() else "gone"
        say("  stale tree %s: %s" % (wb.win(tree), state))


def refused_copy(package, trees):
    """A copy of the package whose patch package did not finish copying."""
    cut = wb.DRIVE_C / "Update Package (cut)"
    if cut.exists():
        shutil.rmtree(cut)
    shutil.copytree(package, cut)
    msp = cut / "Files" / wb.PACKAGE_NAME
    whole = msp.read_bytes()
    msp.write_bytes(whole[:len(whole) // 2])
    command = "\"%s\\setup.exe\" /qn /norestart" % wb.win(cut)
    say("Running a copy whose patch package was cut to %d of its %d bytes: %s"
        % (len(whole) // 2, len(whole), command))
    run = wb.run_setup(command, standin=False, timeout_ms=120000)
    say("  setup.exe exit code: %s (%s)" % (run.exit_code, MEANINGS.get(run.exit_code, "?")))
    for tree in trees:
        say("  stale tree %s: %s" % (wb.win(tree), "still present" if tree.exists() else "GONE"))
    say("  the server is still at %s" % wb.version_string())
    shutil.rmtree(cut)
    return (run.exit_code == 1636 and all(t.exists() for t in trees)
            and wb.version_string() == "14.0.2.226")


def failed_patch(package, trees):
    """msiexec failing after every check passed: a reader locks the package."""
    command = "\"%s\\setup.exe\" /qn /norestart" % wb.win(package)
    say("Running it while another program, which reads the patch package, locks all of it")
    say("once the stale trees are out of the way: %s" % command)
    before = [wb.tree_digest(t) for t in trees]
    with wb.held_open(wb.win(package / "Files" / wb.PACKAGE_NAME), what="lock",
                      gone_path=wb.win(trees[0])):
        run = wb.run_setup(command, standin=False, timeout_ms=120000)
    say("  setup.exe exit code: %s (%s)" % (run.exit_code, MEANINGS.get(run.exit_code, "?")))
    back = [wb.tree_digest(t) == b for t, b in zip(trees, before)]
    for tree, whole in zip(trees, back):
        say("  stale tree %s: %s" % (wb.win(tree), "back, every file as it was" if whole
                                     else "NOT AS IT WAS"))
    say("  the server is still at %s" % wb.version_string())
    return (run.exit_code not in (0, 3010, 1641) and all(back)
            and wb.version_string() == "14.0.2.226")


def demo():
    say("== Tallowick Server 14 v3 update: demo under Wine ==")
    say("Wine prefix: %s" % wb.PREFIX)
    wb.reset_machine()
    wb.install_product("14.0.2.226")
    install_dir = "C:\\Program Files\\TallowickTest\\"  # InstallLocation, as the MSI wrote it
    trees = wb.stale_trees(install_dir)
    for tree in trees:
        wb.make_tree(tree, ("index.jsp", "WEB-INF/web.xml", "lib/old.jar"))
    wb.make_tree(trees[0].parent, ("keep-me.txt",))
    say("Installed from its MSI: Tallowick Server 14 release 14.0.2.226 in %s" % install_dir)

    # A folder of its own: build/package and the zip stay as make package left them.
    demo_build = BUILD / "demo"
    (demo_build / "bin").mkdir(parents=True, exist_ok=True)
    shutil.copyfile(BUILD / "bin" / "setup.exe", demo_build / "bin" / "setup.exe")
    env = dict(os.environ, MSP=str(wb.patch_package()))
    env.pop("SIGN_PFX", None)
    subprocess.run([str(ROOT / "tools" / "package"), str(demo_build)], check=True, env=env)
    package = wb.DRIVE_C / "Update Package"
    if package.exists():
        shutil.rmtree(package)
    shutil.copytree(demo_build / "package", package)
    say("Update package: %s (setup.exe, Files\\%s, SHA256SUMS), as tools/package made it"
        % (wb.win(package), wb.PACKAGE_NAME))

    say()
    report("Before:", trees)
    say()
    ok = refused_copy(package, trees)
    say()
    ok = failed_patch(package, trees) and ok
    say()
    command = "\"%s\\setup.exe\" /qn /norestart" % wb.win(package)
    say("Running: %s   (Wine's own msiexec applies the patch)" % command)
    start = time.perf_counter()
    run = wb.run_setup(command, standin=False, timeout_ms=300000)
    say("  setup.exe exit code: %s (%s), after %.1f s" % (
        run.exit_code, MEANINGS.get(run.exit_code, "msiexec's own code"),
        time.perf_counter() - start))
    say("  what it added to its record, C:\\Windows\\Logs\\%s:" % wb.RUN_LOG.name)
    for line in run.log or ["(nothing: the record lost earlier lines, or was not written)"]:
        say("    " + line)
    say()
    report("After:", trees)
    say("  kept beside the stale tree: %s" % (
        "yes" if (trees[0].parent / "keep-me.txt").exists() else "NO"))
    ok = (ok and run.exit_code == 0 and wb.version_string() == "14.0.3.301"
          and wb.installed_version() == "14.0.3.301"
          and wb.installed_file_first_line() == "Tallowick Server 14.0.3.301"
          and not any(t.exists() or wb.aside(t).exists() for t in trees)
          and bool(run.log) and run.log[-1].endswith(" exit 0"))

    say()
    say("Running again on the patched server, quietly: %s" % command)
    run = wb.run_setup(command, standin=False, lang="en_US.UTF-8", timeout_ms=60000)
    say("  %s" % ("a message box was shown" if run.box else "no message box: a quiet run "
                                                          "waits for no click"))
    say("  setup.exe exit code: %s (%s)" % (run.exit_code, MEANINGS.get(run.exit_code, "?")))
    ok = ok and run.exit_code == 1 and run.box is None

    say()
    command = "\"%s\\setup.exe\"" % wb.win(package)
    say("Running again on the patched server, as a person would: %s" % command)
    shot = "demo-not-found.png"
    run = wb.run_setup(command, standin=False, lang="en_US.UTF-8", screenshot=shot)
    if run.box:
        say("  message box \"%s\": %s" % (run.box["caption"], run.box["text"].replace("\n", " / ")))
        say("  screenshot: %s" % (wb.SHOTS / shot))
        say("  the box was closed with OK")
    else:
        say("  no message box was shown")
    say("  setup.exe exit code: %s (%s)" % (run.exit_code, MEANINGS.get(run.exit_code, "?")))
    say("  the server is still at %s" % wb.version_string())
    return (ok and run.exit_code == 1 and run.box is not None
            and wb.version_string() == "14.0.3.301")


if __name__ == "__main__":
    sys.exit(main())
