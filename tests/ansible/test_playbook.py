"""The fleet play, run by ansible-playbook on local hosts whose Windows
modules are stand-ins (collections/): which hosts are patched, restarted,
reported or failed, and where the rollout stops."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
PLAY = HERE.parent.parent / "deploy" / "ansible" / "update.yml"
PATCHED = "14.0.3.301"

# Host: DisplayVersion or None, setup.exe's codes in turn, a restart pending.
HOSTS = {
    "ok": ("14.0.2.226", [0], False),
    "busy": ("14.0.1.204", [1618, 0], False),
    "patched": ("14.0.3.301", [0], False),
    "absent": (None, [0], False),
    "junk": ("14.0.x", [0], False),
    "pending": (PATCHED, [0], True),
    "restart": ("14.0.2.226", [3010], False),
    "fails": ("14.0.2.226", [1603], False),
    "late": ("14.0.2.226", [0], False),
}
# junk fails alone first; then ok busy | patched absent | pending | restart fails | late
BATCHES = [2, 2, 1, 2, 1]

RESTART = ["-e", "restart_after_update=true"]
# What: options, the play's exit, and each host's release, setup.exe runs,
# restarts, restart still pending and failure after the run.
RUNS = [
    ("restarts asked", RESTART, 2, {
        "ok": (PATCHED, 1, 0, False, False), "busy": (PATCHED, 2, 0, False, False),
        "patched": (PATCHED, 0, 0, False, False), "absent": (None, 0, 0, False, False),
        "junk": ("14.0.x", 0, 0, False, True), "pending": (PATCHED, 0, 1, False, False),
        "restart": (PATCHED, 1, 1, False, False), "fails": ("14.0.2.226", 1, 0, False, True),
        "late": ("14.0.2.226", 0, 0, False, False)}),
    ("restarts left to the administrator", [], 2, {
        "pending": (PATCHED, 0, 0, True, False), "restart": (PATCHED, 1, 0, True, False),
        "fails": ("14.0.2.226", 1, 0, False, True), "late": ("14.0.2.226", 0, 0, False, False)}),
    ("--check", ["--check", "--limit", "!junk"] + RESTART, 0, {
        name: (release, 0, 0, pending, False)
        for name, (release, _, pending) in HOSTS.items() if name != "junk"}),
]


def play(options, folder):
    # Ansible's own Python, and the real modules' documentation beside it.
    ansible = shutil.which("ansible-playbook")
    python = Path(ansible).read_text().splitlines()[0][2:].split()[-1]
    real = subprocess.run([python, "-c", "import ansible_collections.ansible.windows as m;"
                           "print(list(m.__path__)[0] + '/plugins/modules')"],
                          capture_output=True, text=True, check=True).stdout.strip()
    lines = ["[tallowick_servers]"]
    for name, (release, codes, pending) in HOSTS.items():
        host = folder / name
        host.mkdir()
        (host / "state.json").write_text(
            json.dumps({"release": release, "setup": codes, "pending": pending}))
        shim = host / "python"  # the host's own interpreter: its state folder
        shim.write_text('#!/bin/sh\nSTANDIN_HOST="%s" STANDIN_REAL_MODULES="%s" exec %s "$@"\n'
                        % (host, real, python))
        shim.chmod(0o755)
        lines.append("%s ansible_connection=local ansible_python_interpreter=%s" % (name, shim))
    (folder / "inventory").write_text("\n".join(lines) + "\n")
    (folder / "package.zip").write_bytes(b"PK\5\6" + bytes(18))
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=str(HERE / "collections"),
               ANSIBLE_STDOUT_CALLBACK="json", ANSIBLE_LOCAL_TEMP=str(folder / "tmp"),
               ANSIBLE_REMOTE_TEMP=str(folder / "remote"), ANSIBLE_NOCOLOR="1")
    run = subprocess.run([ansible, "-i", str(folder / "inventory"), str(PLAY),
                          "-e", "package_zip=" + str(folder / "package.zip"), "-e", "retry_delay=0",
                          "-e", json.dumps({"rollout_batch": BATCHES})] + options,
                         env=env, capture_output=True, text=True, timeout=600)
    if not run.stdout.startswith("{"):
        raise AssertionError(run.stdout + run.stderr)
    return run, json.loads(run.stdout)


def reports(output, host):
    """The messages the play showed for host."""
    return [t["hosts"][host]["msg"] for p in output["plays"] for t in p["tasks"]
            if host in t["hosts"] and t["hosts"][host].get("msg")
            and t["task"]["name"].startswith("Report")]


class Play(unittest.TestCase):
    def test_runs(self):
        for what, options, code, expected in RUNS:
            with self.subTest(what), tempfile.TemporaryDirectory() as tmp:
                run, output = play(options, Path(tmp))
                self.assertEqual(run.returncode, code, run.stderr)
                for host, (release, setups, restarts, pending, failed) in expected.items():
                    state = json.loads((Path(tmp) / host / "state.json").read_text())
                    calls = state.get("calls", [])
                    self.assertEqual((state["release"], calls.count("win_command"),
                                      state.get("restarts", 0), state["pending"],
                                      output["stats"][host]["failures"] > 0),
                                     (release, setups, restarts, pending, failed), host)
                    if pending and "--check" not in options:  # said, not left to be guessed
                        self.assertTrue(any("restart it" in m for m in reports(output, host)),
                                        host)


if __name__ == "__main__":
    unittest.main()
