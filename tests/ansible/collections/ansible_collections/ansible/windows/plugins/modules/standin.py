#!/usr/bin/python
"""A stand-in for each Windows module of the play (the other files here are
links to it): it takes only the options the real module documents (Debian's
ansible.windows, read at run time) and acts on the test host's state, a
JSON file in the folder the host's interpreter names (STANDIN_HOST)."""

import ast
import json
import os

import yaml
from ansible.module_utils.basic import AnsibleModule

PATCHED = "14.0.3.301"
CHECK_MODE = {"win_reg_stat": True, "win_powershell": True, "win_copy": True,
              "win_reboot": True, "win_get_url": True}  # as the real modules


def documented(name):
    with open(os.path.join(os.environ["STANDIN_REAL_MODULES"], name + ".py")) as f:
        doc = next(ast.literal_eval(n.value) for n in ast.parse(f.read()).body
                   if isinstance(n, ast.Assign) and getattr(n.targets[0], "id", "") == "DOCUMENTATION")
    keys = ("type", "aliases", "required", "choices", "elements")
    return {o: {k: d[k] for k in keys if k in d} for o, d in yaml.safe_load(doc)["options"].items()}


def act(name, p, state, check):
    """The module's result on the host, and what it changes there."""
    if name == "win_reg_stat":
        if p["path"].endswith("{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}") and p["name"] == "DisplayVersion":
            return dict(exists=state["release"] is not None, value=state["release"])
        if p["path"].endswith("\\TallowickServer14v3Update.RestartPending") and not p["name"]:
            return dict(exists=state["pending"])
        if p["path"].endswith(("RebootPending", "RebootRequired", "Session Manager")):  # True: CBS
            mark = "Session Manager" if state.get("windows_pending") == "files" else "RebootPending"
            return dict(exists=bool(state.get("windows_pending")) and p["path"].endswith(mark))
        if p["path"].endswith("\\v3 Update") and not p["name"]:  # a killed run's folders
            return dict(exists=state.get("aside", False), properties={"msiexec": {}} if state.get("aside") else {})
    elif check:  # a script without ShouldProcess, a copy and a restart are only reported
        return dict(changed=True)
    elif name == "win_powershell" and sorted(p["parameters"]) in (["Path"], ["Folder", "Parent", "Zip"]):
        if "Parent" in p["parameters"]:  # Expand-Archive makes the zip's own folder there
            state["unpacked"] = p["parameters"]["Parent"] + "\\TallowickServer14v3Update"
        return dict(changed=True)
    elif name == "win_powershell" and sorted(p["parameters"]) == ["Any", "Path", "Thumbprint"]:
        signer = state.get("signer", "vendor")  # None: not validly signed
        if signer is None or not (p["parameters"]["Any"] or p["parameters"]["Thumbprint"] == signer):
            return dict(changed=False, result=dict(refused="setup.exe was not started"))
        return dict(changed=False, result={})
    elif name == "win_powershell" and sorted(p["parameters"]) == ["Key", "Log", "Services",
                                                                  "Setup", "Timeout"]:
        if p["parameters"]["Setup"] != "%s\\setup.exe" % state.get("unpacked"):
            return dict(failed=True, msg="no setup.exe there")
        if state.get("stuck") in p["parameters"]["Services"]:
            return dict(changed=False, result=dict(rc=None, record=[], stuck=state["stuck"]))
        rc = state["setup"].pop(0) if len(state["setup"]) > 1 else state["setup"][0]
        state["calls"].append("setup.exe")
        state["pending"] = state["pending"] or rc in (3010, 1641)  # marked in the same step
        if state["release"] == PATCHED and state.pop("aside", False):
            rc = 1  # a patched server: setup.exe settles a killed run's folders
        if rc in (0, 3010, 1641) and not state.get("unconfirmed"):
            state["release"] = PATCHED
        if state.get("lost"):  # the connection drops as the step returns
            open(os.path.join(os.environ["STANDIN_HOST"], "lost"), "w").close()
        return dict(changed=True, result=dict(rc=rc, record=["exit %d" % rc]))
    elif name == "win_copy" and os.path.isfile(p["src"]):
        return dict(changed=True)
    elif name == "win_get_url" and p["checksum_algorithm"] == "sha256" and p["checksum"]:
        return dict(changed=True)
    elif name == "win_reboot":
        state["pending"] = state["windows_pending"] = False  # Windows drops them as it starts
        state["restarts"] = state.get("restarts", 0) + 1
        return dict(changed=True, rebooted=True)
    return dict(failed=True, msg="this test does not know that call: %s" % p)


def main():
    name = __spec__.name.rsplit(".", 1)[1]
    module = AnsibleModule(argument_spec=documented(name), supports_check_mode=CHECK_MODE[name])
    path = os.path.join(os.environ["STANDIN_HOST"], "state.json")
    with open(path) as f:
        state = json.load(f)
    state["calls"].append(name)
    result = act(name, module.params, state, module.check_mode)
    with open(path, "w") as f:
        json.dump(state, f)
    (module.fail_json if result.pop("failed", False) else module.exit_json)(**result)


if __name__ == "__main__":
    main()
