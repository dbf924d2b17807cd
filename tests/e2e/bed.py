"""Shared set-up of the end-to-end tests: the Wine test bed, a clean machine
before every case."""

import unittest

import winebed_path  # noqa: F401
import winebed  # noqa: E402,F401
from winebed import *  # noqa: E402,F401,F403


class MachineTest(unittest.TestCase):
    """Every case starts on a machine with no server installed."""

    @classmethod
    def setUpClass(cls):
        winebed.install_standin()

    def setUp(self):
        winebed.reset_machine()

    def assertExit(self, run, code):
        self.assertEqual(run.exit_code, code, run)

    def assertNotLaunched(self, run):
        self.assertIsNone(run.record, "the installer was started: %r" % (run,))
