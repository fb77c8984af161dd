"""Runs a test module's unittest cases and ends with the line "N passed, N failed"."""
import sys
import unittest


def run(module):
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    return 0 if failed == 0 else 1


def main(name):
    sys.exit(run(sys.modules[name]))
