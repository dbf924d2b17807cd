"""The Wine test bed: runs the real setup.exe in the build tree's Wine prefix
against real Windows Installer products and registry values, with the
recording msiexec stand-in, and reads the message box it shows.

Used by the end-to-end tests (tests/e2e) and by the demo (tools/demo.py).
"""

import hashlib
import os
import uuid
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("BUILD_DIR", ROOT / "build"))
PREFIX = Path(os.environ.get("WINEPREFIX", BUILD / "wine" / "prefix"))
DRIVE_C = PREFIX / "drive_c"
TESTBIN = BUILD / "testbin"
# SETUP_EXE may name another build, to run the same cases against it.
SETUP_EXE = Path(os.environ.get("SETUP_EXE", BUILD / "bin" / "setup.exe"))
SHOTS = BUILD / "screenshots"
# setup.exe's own record of every run; a Wine prefix spells the folder "logs".
RUN_LOG = DRIVE_C / "windows" / "logs" / "TallowickServer14v3Update.setup.log"

PRODUCT_CODE = "{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}"
UNINSTALL_KEY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT_CODE
SERVICES_KEY = "SOFTWARE\\Tallowick\\Tallowick Server\\14.0\\Services"
PACKAGE_NAME = "TallowickServer14v3Update.msp"
CAPTION = "Tallowick Server 14"
STALE_SUFFIXES = (
    "Web Publishing\\publishing-engine\\jwpc-tomcat\\twk",
    "Admin\\admin-master-tomcat\\bin\\admin-console",
)

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7


def wine_env(extra=None, lang=None):
    env = dict(os.environ)
    env["WINEPREFIX"] = str(PREFIX)
    env["WINEDEBUG"] = "-all"
    env.pop("WINEDLLOVERRIDES", None)
    if lang:
        env["LC_ALL"] = lang
    if extra:
        env.update(extra)
    return env


def wine(args, extra=None, lang=None, timeout=120):
    """Runs a Windows program; returns its stdout. Output goes to a file, not a
    pipe: Wine's background services would hold a pipe open. Started from
    make, it runs without address-space randomization (see the Makefile), so
    Wine's own start of it cannot fail."""
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine"] + [str(a) for a in args], env=wine_env(extra, lang), stdout=out,
                       stderr=subprocess.DEVNULL, timeout=timeout, check=False)
        out.seek(0)
        return out.read().decode("utf-8", "replace")


def win(path):
    """The Windows path of a Linux path (C: inside the prefix, else Z:)."""
    path = Path(path)
    try:
        rel = path.relative_to(DRIVE_C)
        return "C:\\" + str(rel).replace("/", "\\") if str(rel) != "." else "C:\\"
    except ValueError:
        return "Z:" + str(path).replace("/", "\\")


def c_path(windows_path):
    """The Linux path of a C:\\ path in the prefix."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return DRIVE_C / windows_path[3:].replace("\\", "/")


def stale_trees(install_dir):
    """The Linux paths of the two stale trees under a C:\\ installation directory."""
    return [c_path(install_dir + suffix) for suffix in STALE_SUFFIXES]


# --- registry ---------------------------------------------------------------

def aside(tree):  # where setup.exe keeps a stale tree while the installer runs
    return tree.with_name(tree.name + ".v3update-aside")


def reg_set(key, name, reg_type, data):
    wine([TESTBIN / "wtool.exe", "regset", key, name, str(reg_type), data.hex() or ""])


def reg_set_text(key, name, text, reg_type=REG_SZ, encoding="cp1252"):
    reg_set(key, name, reg_type, text.encode(encoding) + b"\0")


def reg_delete(key):
    wine([TESTBIN / "wtool.exe", "regdel", key])


# --- Windows Installer products ---------------------------------------------

# The server's web folder holds version.jsp, whose first line names the build.
VERSION_FILE = "version.jsp"
PATCH_CODE = "{8E2F4C61-3B7A-4D95-A1C8-6F0E9D2B7A43}"


def version_text(version):
    return "Tallowick Server %s\n<%%= \"build %s\" %%>\n" % (version, version)


def product_msi(version):
    """A build of the test server: one product and upgrade code, its own
    package code (wixl ignores Package/@Id, msibuild sets it afterwards)."""
    out = BUILD / "e2e" / "msi" / ("product-%s.msi" % version)
    if not out.exists():
        payload = out.parent / version
        payload.mkdir(parents=True, exist_ok=True)
        (payload / VERSION_FILE).write_text(version_text(version))
        subprocess.run(["wixl", "-a", "x64", "-D", "Version=" + version, "-o", str(out),
                        str(ROOT / "tests" / "e2e" / "product.wxs")],
                       check=True, stderr=subprocess.DEVNULL, cwd=payload)
        package_code = "{%s}" % str(uuid.uuid5(uuid.NAMESPACE_URL, "tallowick-" + version)).upper()
        subprocess.run(["msibuild", str(out), "-s", "Installation Database", "Tallowick test bed",
                        "x64;1033", package_code], check=True, stderr=subprocess.DEVNULL)
    return out


def patch_package():
    """The real v3 update package: 14.0.2.226 and 14.0.1.204 to 14.0.3.301,
    written by tools/make_patch.cpp under Wine (once per build tree)."""
    out = BUILD / "e2e" / "msp" / PACKAGE_NAME
    if not out.exists():
        out.parent.mkdir(parents=True, exist_ok=True)
        wine([TESTBIN / "make_patch.exe", win(out), PATCH_CODE, win(product_msi("14.0.3.301")),
              win(product_msi("14.0.2.226")), win(product_msi("14.0.1.204"))])
        if not out.exists():
            raise RuntimeError("make_patch wrote no patch package")
    return out


# The release install_product last installed: put back after the stand-in's real patch.
_installed = []


def install_product(version):
    """Installs the test server and checks that the Windows Installer knows it,
    so that a case never blames setup.exe for an install that did not
    happen."""
    _installed[:] = [version]
    wine(["msiexec", "/i", win(product_msi(version)), "/qn"])
    if version_string() != version:
        raise RuntimeError("the test bed could not install Tallowick Server %s" % version)


def uninstall_product():
    wine(["msiexec", "/x", PRODUCT_CODE, "/qn"])


def installed_version():
    """What the Windows Installer reports, through the uninstall entry."""
    out = wine(["reg", "query", "HKLM\\" + UNINSTALL_KEY, "/v", "DisplayVersion"])
    for line in out.splitlines():
        if "DisplayVersion" in line:
            return line.split()[-1]
    return None


def version_string():
    """MsiGetProductInfo(VersionString), the Windows Installer's own answer."""
    out = wine([TESTBIN / "wtool.exe", "version", PRODUCT_CODE]).strip()
    return out or None


def installed_file_first_line():
    """The first line of the server's version.jsp, or None."""
    path = DRIVE_C / "Program Files" / "TallowickTest" / VERSION_FILE
    return path.read_text().splitlines()[0] if path.exists() else None


def reset_machine():
    """No product, no uninstall entry, no server key, no marks."""
    uninstall_product()
    _installed.clear()
    reg_delete(UNINSTALL_KEY)
    reg_delete("SOFTWARE\\Tallowick")
    for mark in ("planted-msi-loaded.txt", "standin-record.txt"):
        (DRIVE_C / mark).unlink(missing_ok=True)


def install_standin():
    """The recording msiexec.exe, used only by runs with the override."""
    target = DRIVE_C / "windows" / "system32" / "msiexec.exe"
    source = TESTBIN / "standin_msiexec.exe"
    if not target.exists() or target.read_bytes() != source.read_bytes():
        shutil.copyfile(source, target)


# --- update packages and runs -----------------------------------------------

def make_package(directory, exe_name="setup.exe", msp="real", sums=False):
    """An update package in a folder of the prefix: setup.exe beside Files
    holding the real patch package (msp="real"), a text file under its name
    ("text"), given bytes, or nothing (None); with sums, a SHA256SUMS as
    tools/package writes it."""
    directory = Path(directory)
    if directory.exists():
        shutil.rmtree(directory)
    (directory / "Files").mkdir(parents=True)
    shutil.copyfile(SETUP_EXE, directory / exe_name)
    package = directory / "Files" / PACKAGE_NAME
    if msp == "real":
        shutil.copyfile(patch_package(), package)
    elif msp == "text":
        package.write_bytes(b"not a real patch package\n")
    elif msp is not None:
        package.write_bytes(msp)
    if sums:
        write_sums(directory, patch_package().read_bytes() if msp != "real" else None)
    return directory


def write_sums(directory, msp_bytes=None):
    """SHA256SUMS for the package folder: the patch package's line gives the
    digest of msp_bytes (by default of the file in Files), then setup.exe."""
    directory = Path(directory)
    package = directory / "Files" / PACKAGE_NAME
    if msp_bytes is None:
        msp_bytes = package.read_bytes()
    lines = ["%s  Files/%s" % (hashlib.sha256(msp_bytes).hexdigest(), PACKAGE_NAME)]
    setup = directory / "setup.exe"
    if setup.exists():
        lines.append("%s  setup.exe" % hashlib.sha256(setup.read_bytes()).hexdigest())
    (directory / "SHA256SUMS").write_text("\n".join(lines) + "\n")


def vendor_package(directory, msp=None):
    """The update package exactly as tools/package lays it out (MSP: the real
    patch), copied into a folder of the prefix."""
    with tempfile.TemporaryDirectory() as build:
        (Path(build) / "bin").mkdir()
        shutil.copyfile(SETUP_EXE, Path(build) / "bin" / "setup.exe")
        env = dict(os.environ, MSP=str(msp or patch_package()))
        env.pop("SIGN_PFX", None)
        subprocess.run([str(ROOT / "tools" / "package"), build], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        directory = Path(directory)
        if directory.exists():
            shutil.rmtree(directory)
        shutil.copytree(Path(build) / "package", directory)
    return directory


class Run:
    def __init__(self, exit_code, record, box, log):
        self.exit_code = exit_code  # int, or "timeout"
        self.record = record        # what the stand-in saw, or None if it never ran
        self.box = box              # what the message box showed, or None
        self.log = log              # the lines setup.exe's record gained, None if it lost any

    @property
    def launched(self):
        return self.record is not None

    @property
    def command_line(self):
        return self.record["cmdline"] if self.record else None

    def __repr__(self):
        return "Run(exit=%r, record=%r, box=%r, log=%r)" % (self.exit_code, self.record, self.box,
                                                            self.log)


def _parse_record(path):
    if not path.exists():
        return None
    record = {"exists": {}}
    # A command line may hold any character but a line feed.
    for line in path.read_bytes().decode("utf-8").split("\n"):
        key, _, value = line.partition("\t")
        if key == "exists":
            name, _, found = value.rpartition("\t")
            record["exists"][name] = found == "1"
        elif key:
            record[key] = value
    return record


def _parse_box(path):
    if not path.exists():
        return None
    box = {"children": []}
    for line in path.read_text("utf-8").splitlines():
        key, _, value = line.partition("\t")
        if key == "child":
            box["children"].append(value.split("\t"))
        else:
            box[key] = value
    if box.get("box") != "found":
        return None
    for key in ("caption", "text"):
        box[key] = box[key].replace("\\n", "\n").replace("\\r", "\r").replace("\\\\", "\\")
    return box


def run_setup(command_line, cwd=None, standin=True, standin_exit=0, standin_sleep_ms=None,
              check_paths=(), timeout_ms=60000, lang=None, screenshot=None, overrides=None,
              extra_env=None):
    """Runs setup.exe with an exact Windows command line, presses OK on a
    message box if one appears, and reports what happened."""
    work = DRIVE_C / "e2e-run"
    work.mkdir(exist_ok=True)
    record = work / "record.txt"
    info = work / "box.txt"
    flag = work / "box.flag"
    for f in (record, info, flag):
        f.unlink(missing_ok=True)
    env = {"STANDIN_RECORD": win(record), "STANDIN_EXIT": str(standin_exit)}
    if standin_sleep_ms:
        env["STANDIN_SLEEP_MS"] = str(standin_sleep_ms)
    if check_paths:
        env["STANDIN_CHECK"] = "|".join(check_paths)
    dll = ["msiexec.exe=n"] if standin else []
    if overrides:
        dll.append(overrides)
    if dll:
        env["WINEDLLOVERRIDES"] = ";".join(dll)
    if extra_env:
        env.update(extra_env)

    stop = threading.Event()

    def shoot():  # the screenshot, while the box is still up
        while not stop.is_set() and not info.exists():
            time.sleep(0.05)
        if info.exists() and screenshot and "box\tfound" in info.read_text("utf-8", "replace"):
            SHOTS.mkdir(parents=True, exist_ok=True)
            subprocess.run(["import", "-window", "root", str(SHOTS / screenshot)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        flag.write_text("go")

    shooter = threading.Thread(target=shoot)
    shooter.start()
    earlier = RUN_LOG.read_bytes() if RUN_LOG.is_file() else b""
    try:
        out = wine([TESTBIN / "wtool.exe", "run", str(timeout_ms), command_line,
                    cwd or "-", win(info), win(flag)],
                   extra=env, lang=lang, timeout=timeout_ms / 1000 + 60)
    finally:
        stop.set()
        shooter.join()
    exit_code = None
    for line in out.splitlines():
        if line.startswith("exit "):
            exit_code = int(line.split()[1])
        elif line.strip() == "timeout" or line.startswith("startfail"):
            exit_code = line.strip()
    now = RUN_LOG.read_bytes() if RUN_LOG.is_file() else b""
    if len(earlier) >= 1 << 20 and not now.startswith(earlier):
        earlier = b""  # moved to the .old file
    log = now[len(earlier):].decode("utf-8").splitlines() if now.startswith(earlier) else None
    run = Run(exit_code, _parse_record(record), _parse_box(info), log)
    if run.record and run.record.get("patched") == "0" and _installed:
        # The stand-in's success was a real patch: the release put back for the
        # next run, and the InstallLocation the test had set.
        uninstall_product()
        install_product(_installed[0])
        location = run.record["location"]
        wine(["reg", "add" if location else "delete", "HKLM\\" + SERVICES_KEY, "/v",
              "InstallLocation"] + (["/d", location] if location else []) + ["/f"], lang="C.UTF-8")
    return run


class held_open:
    """Keeps a file open in another Windows process: unshared ("hold"), for
    reading with read sharing ("share"), for writing shared for all ("write");
    or holds the named mutex ("mutex"; "denied": with a DACL that denies all),
    or keeps it unowned ("unowned"); "lock": a reader that locks it once gone_path is gone."""

    def __init__(self, windows_path, ms=60000, what="hold", gone_path=None):
        self.path, self.ms, self.what = windows_path, ms, what
        self.gone = [gone_path] if gone_path else []

    def __enter__(self):
        flag = DRIVE_C / "e2e-run" / "held.flag"
        flag.parent.mkdir(exist_ok=True)
        flag.unlink(missing_ok=True)
        self.proc = subprocess.Popen(
            ["wine", str(TESTBIN / "wtool.exe"), self.what, self.path, str(self.ms), win(flag)]
            + self.gone,
            env=wine_env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while not flag.exists() and time.time() < deadline and self.proc.poll() is None:
            time.sleep(0.05)
        if not flag.exists():
            raise RuntimeError("could not hold " + self.path)
        return self

    def __exit__(self, *exc):
        self.proc.kill()  # under Wine the Linux process is the Windows one
        self.proc.wait()


def prefix_processes(text):
    """The Linux pids of this prefix's processes whose command line holds text."""
    mine, pids = ("\0WINEPREFIX=%s\0" % PREFIX).encode(), []
    for proc in Path("/proc").glob("[0-9]*"):
        try:
            if (mine in b"\0" + (proc / "environ").read_bytes()
                    and text.encode() in (proc / "cmdline").read_bytes().replace(b"\0", b" ")):
                pids.append(int(proc.name))
        except OSError:
            continue
    return pids


def wait_for(value, until=None, seconds=30):
    """Polls value() until it equals until (or, with until None, is true),
    for at most seconds; returns its last value."""
    deadline = time.time() + seconds
    while (value() != until if until is not None else not value()) and time.time() < deadline:
        time.sleep(0.05)
    return value()


# --- file trees -------------------------------------------------------------

def make_tree(root, files=("a.txt", "sub/b.txt")):
    root = Path(root)
    for name in files:
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(name)
    return root


def count_entries(root):
    """Entries under root, links not followed."""
    return sum(len(d) + len(f) for _, d, f in os.walk(root))


def tree_digest(root):
    """A checksum of every name and content under root, links not followed."""
    h = hashlib.sha256()
    root = Path(root)
    count = 0
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames.sort()
        for name in sorted(dirnames + filenames):
            p = Path(dirpath) / name
            h.update(str(p.relative_to(root)).encode())
            if p.is_file() and not p.is_symlink():
                h.update(p.read_bytes())
            count += 1
    return h.hexdigest(), count


def main(argv):
    """By hand, in the prefix that WINEPREFIX names (DEVELOPING.md, "Running it by hand"):
    install <version>   installs the test server at that release
    patch               writes the real v3 patch package once and prints its path
    version             prints the Windows Installer's VersionString of the server"""
    if argv[:1] == ["install"] and len(argv) == 2:
        install_product(argv[1])
    elif argv == ["patch"]:
        print(patch_package())
    elif argv == ["version"]:
        print(version_string())
    else:
        print(main.__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
