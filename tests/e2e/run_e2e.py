#!/usr/bin/python3
# Runs end-to-end test modules against the built program:
#   run_e2e.py --binary build/release/app/vitrion [--artifacts DIR] [--deadline S] test_typing [...]
# Standard library only. Exits non-zero when a case fails; prints unittest's summary.
import argparse
import os
import signal
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from vitrion_e2e.processes import become_subreaper  # noqa: E402


def _deadline_passed(signum, frame):
    # Ends the run cleanly before the test runner's own timeout kills us: the processes are ended
    # by the atexit hook and by the cases' tearDown.
    raise KeyboardInterrupt(f"end-to-end run passed its deadline (signal {signum})")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--artifacts", default="")
    parser.add_argument("--deadline", type=int, default=0, help="seconds before the run gives up")
    parser.add_argument("modules", nargs="+")
    args = parser.parse_args()

    os.environ["VITRION_BINARY"] = os.path.abspath(args.binary)
    if args.artifacts:
        os.makedirs(args.artifacts, exist_ok=True)
        os.environ["VITRION_E2E_ARTIFACTS"] = os.path.abspath(args.artifacts)
    become_subreaper()
    signal.signal(signal.SIGTERM, _deadline_passed)
    signal.signal(signal.SIGALRM, _deadline_passed)
    if args.deadline:
        signal.alarm(args.deadline)

    suite = unittest.defaultTestLoader.loadTestsFromNames(args.modules)
    try:
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    except KeyboardInterrupt as stop:
        print(f"\nstopped: {stop}", flush=True)
        return 2
    # A run that skipped everything is not a pass in disguise: say so plainly.
    if result.testsRun and len(result.skipped) == result.testsRun:
        print("every case was skipped", flush=True)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
