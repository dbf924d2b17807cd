#!/usr/bin/python
# A stand-in for the test of the play (module_utils/standin.py).
from ansible_collections.ansible.windows.plugins.module_utils.standin import run

if __name__ == "__main__":
    run("win_powershell", check_mode=True)
