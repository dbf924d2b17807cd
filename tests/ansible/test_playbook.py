"""The fleet play, run by ansible-playbook on local hosts whose Windows
modules are stand-ins (collections/): which hosts are patched, restarted,
reported, set aside or failed, where the rollout stops, and the summary."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
NEW, OLD, JUNK = "14.0.3.301", "14.0.2.226", "14.0.3.301 junk"
# Host: DisplayVersion or None, setup.exe's codes in turn, a restart pending.
HOSTS = {"ok": (OLD, [0], False), "busy": ("14.0.1.204", [1618, 32, 33, 0], False),
         "patched": (NEW, [0], False), "absent": (None, [0], False), "junk": (JUNK, [0], False),
         "pending": (NEW, [0], True), "restart": (OLD, [3010], False),
         "fails": (OLD, [1603], False), "late": (OLD, [1641], False),
         "lost": (OLD, [3010], False), "waiting": (OLD, [0], False),
         "liar": (OLD, [0], False), "settle": (NEW, [0], False)}
# Lost once setup.exe has run; waiting for files Windows replaces at start-up;
# a 0 the Windows Installer does not confirm; a killed run's folders left aside;
# a service that will not stop.
EXTRA = {"lost": {"lost": True}, "waiting": {"windows_pending": "files"},
         "liar": {"unconfirmed": True}, "settle": {"aside": True}, "ok": {"stuck": "W3SVC"}}
# junk fails alone first; then ok busy | patched absent | pending | restart fails | late
BATCHES = [2, 2, 1, 2, 1]
RESTART = ["-e", "restart_after_update=true"]
# Options, the play's exit, and hosts' release, setup.exe runs, restarts,
# restart still pending, failure afterwards and, where given, set aside.
RUNS = [
    (RESTART, 2, {"ok": (NEW, 1, 0, False, False), "busy": (NEW, 4, 0, False, False),
                  "patched": (NEW, 0, 0, False, False), "absent": (None, 0, 0, False, False),
                  "junk": (JUNK, 0, 0, False, True), "pending": (NEW, 0, 1, False, False),
                  "restart": (NEW, 1, 1, False, False), "fails": (OLD, 1, 0, False, True),
                  "late": (OLD, 0, 0, False, False)}),
    ([], 2, {"pending": (NEW, 0, 0, True, False), "restart": (NEW, 1, 0, True, False)}),
    # The default batches begin with one pilot host; setup.exe runs where it was unpacked.
    (["--limit", "fails,late", "-e", '{"rollout_batch": null, "updates_dir": "D:\\\\Patches"}',
      "-e", "package_url=file:///C:/pkg.zip", "-e", "package_sha256=00"], 2,
     {"fails": (OLD, 1, 0, False, True), "late": (OLD, 0, 0, False, False)}),
    # Not the vendor's signature on setup.exe: not started, set aside, the others go on.
    (["-e", "accept_any_signer=false", "-e", "signer_thumbprint=0123ABCD"], 2,
     {"ok": (OLD, 0, 0, False, True, True), "late": (OLD, 0, 0, False, True, True)}),
    (["-e", "accept_any_signer=false"], 2, {"ok": (OLD, 0, 0, False, True)}),  # no signer named
    # A lost host stops the next batch, its 3010 marked; a pending restart comes first.
    (["--limit", "ok,lost,waiting", "-e", '{"rollout_batch": [2]}'], 4,
     {"ok": (NEW, 1, 0, False, False), "lost": (NEW, 1, 0, True, False),
      "waiting": (OLD, 0, 0, False, False)}),
    (["--limit", "waiting"] + RESTART, 0, {"waiting": (NEW, 1, 1, False, False)}),
    (["--limit", "waiting"], 2, {"waiting": (OLD, 0, 0, False, True, True)}),
    # A refused host never stops its batch-mates.
    (["--limit", "ok,waiting,late", "-e", '{"rollout_batch": [3]}'], 2,
     {"ok": (NEW, 1, 0, False, False), "waiting": (OLD, 0, 0, False, True, True),
      "late": (NEW, 1, 0, True, False)}),
    (["--limit", "ok", "-e", '{"stop_services": ["W3SVC"]}'], 2, {"ok": (OLD, 0, 0, False, True, True)}),
    (["--limit", "liar,settle"], 2, {"liar": (OLD, 1, 0, False, True), "settle": (NEW, 1, 0, False, False)}),
    (["--check", "--limit", "!junk"] + RESTART, 0,
     {h: (v, 0, 0, p, False) for h, (v, _, p) in HOSTS.items() if h != "junk"}),
]


def play(options, folder):
    ansible = shutil.which("ansible-playbook")  # its Python has the real modules
    python = Path(ansible).read_text().splitlines()[0][2:].strip()
    real = subprocess.run([python, "-c", "import ansible_collections.ansible.windows as m;"
                           "print(list(m.__path__)[0] + '/plugins/modules')"],
                          capture_output=True, text=True, check=True).stdout.strip()
    inventory = ["[tallowick_servers]"]
    for name, (release, codes, pending) in HOSTS.items():
        (folder / name).mkdir()
        (folder / name / "state.json").write_text(json.dumps(
            dict({"release": release, "setup": codes, "pending": pending, "calls": []},
                 **EXTRA.get(name, {}))))
        shim = folder / name / "python"  # the host's interpreter names its state
        shim.write_text('#!/bin/sh\nSTANDIN_HOST=%s STANDIN_REAL_MODULES=%s exec %s "$@"\n'
                        % (folder / name, real, python))
        shim.chmod(0o755)
        inventory.append("%s ansible_connection=flaky ansible_host=%s ansible_python_interpreter=%s"
                         % (name, folder / name, shim))
    (folder / "inventory").write_text("\n".join(inventory) + "\n")
    (folder / "package.zip").write_bytes(b"PK\5\6" + bytes(18))
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=str(HERE / "collections"),
               ANSIBLE_CONNECTION_PLUGINS=str(HERE / "connection_plugins"),
               ANSIBLE_STDOUT_CALLBACK="json", ANSIBLE_LOCAL_TEMP=str(folder / "tmp"),
               ANSIBLE_REMOTE_TEMP=str(folder / "tmp"))
    run = subprocess.run([ansible, "-i", str(folder / "inventory"),
                          str(HERE.parent.parent / "deploy" / "ansible" / "update.yml"),
                          "-e", json.dumps({"package_zip": str(folder / "package.zip"),
                                            "retry_delay": 0, "rollout_batch": BATCHES,
                                            "accept_any_signer": True})]
                         + options, env=env, capture_output=True, text=True, timeout=600)
    return run, json.loads(run.stdout or "{}")


class Play(unittest.TestCase):
    def test_runs(self):
        for options, code, expected in RUNS:
            with self.subTest(options), tempfile.TemporaryDirectory() as tmp:
                run, output = play(options, Path(tmp))
                self.assertEqual(run.returncode, code, run.stdout[-3000:] + run.stderr)
                msgs = [(h, str(r.get("msg"))) for p in output["plays"] for t in p["tasks"]
                        for h, r in t["hosts"].items()]
                reported = {h for h, msg in msgs if "restart it" in msg}
                shown = {h for h, msg in msgs if "'exit " in msg}  # setup.exe's record, failed or not
                summary = [r["msg"] for p in output["plays"] for t in p["tasks"]
                           for r in t["hosts"].values() if "never reached" in str(r.get("msg"))]
                for host, want in expected.items():  # the last word names every host set aside
                    self.assertEqual(host in (summary or [{"refused": {}}])[0]["refused"],
                                     bool(want[5:]), host)
                for host, want in expected.items():
                    state = json.loads((Path(tmp) / host / "state.json").read_text())
                    self.assertEqual((state["release"], state["calls"].count("setup.exe"),
                                      state.get("restarts", 0), state["pending"],
                                      output["stats"][host]["failures"] > 0), want[:5], host)
                    self.assertEqual("win_get_url" in state["calls"], "package_url" in str(options)
                                     and want[1] > 0)
                    # a restart left pending is said, not left to be guessed
                    self.assertEqual(host in reported, want[3] and "--check" not in options)
                    self.assertEqual(host in shown, want[1] > 0, host)


if __name__ == "__main__":
    unittest.main()
