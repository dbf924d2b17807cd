"""The play's Windows modules, played on a test host: each takes only the
options the real module documents (Debian's ansible.windows, read at run
time), and acts on the host's state, a JSON file in the folder that the
host's interpreter names (STANDIN_HOST)."""

import ast
import json
import os

import yaml
from ansible.module_utils.basic import AnsibleModule

UNINSTALL = "\\{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}"
RESTART = "\\TallowickServer14v3Update.RestartPending"
PATCHED = "14.0.3.301"


def documented_spec(name):
    path = os.path.join(os.environ["STANDIN_REAL_MODULES"], name + ".py")
    with open(path, encoding="utf-8") as f:
        tree = ast.parse(f.read())
    doc = next(ast.literal_eval(node.value) for node in tree.body if isinstance(node, ast.Assign)
               and getattr(node.targets[0], "id", "") == "DOCUMENTATION")
    spec = {}
    for option, d in (yaml.safe_load(doc).get("options") or {}).items():
        spec[option] = {k: d[k] for k in ("type", "aliases", "required", "choices", "elements")
                        if k in d}
    return spec


def run(name, check_mode):
    module = AnsibleModule(argument_spec=documented_spec(name), supports_check_mode=check_mode)
    state_path = os.path.join(os.environ["STANDIN_HOST"], "state.json")
    with open(state_path, encoding="utf-8") as f:
        state = json.load(f)
    state.setdefault("calls", []).append(name)
    result = globals()[name](module.params, state, module.check_mode)
    with open(state_path, "w", encoding="utf-8") as f:
        json.dump(state, f)
    if result.pop("failed", False):
        module.fail_json(**result)
    module.exit_json(**result)


def win_reg_stat(params, state, check):
    if params["path"].endswith(UNINSTALL) and params["name"] == "DisplayVersion":
        release = state.get("release")
        return dict(changed=False, exists=release is not None, value=release, type="REG_SZ")
    if params["path"].endswith(RESTART) and not params["name"]:
        return dict(changed=False, exists=bool(state.get("pending")))
    return dict(failed=True, msg="no such key in this test: " + params["path"])


def win_powershell(params, state, check):
    parameters = sorted((params["parameters"] or {}).keys())
    if check:  # the real module skips a script that does not support ShouldProcess
        return dict(changed=True, output=[])
    if parameters == ["Key"]:
        state["pending"] = True
    elif parameters not in (["Path"], ["Folder", "Parent", "Zip"]):
        return dict(failed=True, msg="a script this test does not know: %s" % parameters)
    return dict(changed=True, output=[])


def win_copy(params, state, check):
    if not os.path.isfile(params["src"]):
        return dict(failed=True, msg="no such file: " + params["src"])
    return dict(changed=True, dest=params["dest"])


def win_command(params, state, check):
    if not params["argv"] or not params["argv"][0].endswith("\\setup.exe"):
        return dict(failed=True, msg="not setup.exe: %s" % params["argv"])
    codes = state["setup"]
    rc = codes.pop(0) if len(codes) > 1 else codes[0]
    if rc in (0, 3010, 1641):
        state["release"] = PATCHED
    return dict(changed=True, rc=rc, stdout="", stderr="")


def win_reboot(params, state, check):
    if not check:
        state["pending"] = False  # Windows drops the volatile key at the start
        state["restarts"] = state.get("restarts", 0) + 1
    return dict(changed=True, rebooted=True, elapsed=0)
