"""The local connection, lost for good once the stand-in has marked its test
host lost: a file "lost" in the host's folder, which the inventory gives as
ansible_host."""

import os

from ansible.errors import AnsibleConnectionFailure
from ansible.plugins.connection.local import Connection as Local

DOCUMENTATION = """
name: flaky
short_description: the local connection, until the test host is lost
description: [The local connection; unreachable once the host's folder holds "lost".]
author: the test bed
"""


class Connection(Local):
    transport = "flaky"

    def _connect(self):  # once per task: the task that marked it lost ends as it would
        if os.path.exists(os.path.join(self._play_context.remote_addr, "lost")):
            raise AnsibleConnectionFailure("the host is lost")
        return super()._connect()
