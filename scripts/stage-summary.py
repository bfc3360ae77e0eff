#!/usr/bin/env python3
"""Prints one line a stage of scripts/test-all.sh: its tests run, passed and
failed, and its time. A stage's folder under RESULTS holds the JUnit files
of its ctest and pytest runs and checks.txt, a line a check that is none
of their tests ("passed NAME" or "failed NAME"); RESULTS/stages.txt a
line a stage that ran: "NAME SECONDS STATUS".

    python3 scripts/stage-summary.py build/results
"""

import glob
import os
import sys
import xml.etree.ElementTree as ElementTree
from typing import Tuple


def junit_counts(path: str) -> Tuple[int, int, int]:
    """Tests run, passed and failed in one JUnit file (skipped ones are not run)."""
    root = ElementTree.parse(path).getroot()
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    run = failed = 0
    for suite in suites:
        for case in suite.iter("testcase"):
            if case.find("skipped") is not None:
                continue
            run += 1
            failed += case.find("failure") is not None or case.find("error") is not None
    return run, run - failed, failed


def stage_counts(folder: str) -> Tuple[int, int, int]:
    run = passed = failed = 0
    for path in sorted(glob.glob(os.path.join(folder, "*.xml"))):
        counts = junit_counts(path)
        run, passed, failed = run + counts[0], passed + counts[1], failed + counts[2]
    checks = os.path.join(folder, "checks.txt")
    if os.path.exists(checks):
        with open(checks) as lines:
            for line in lines:
                run += 1
                passed += line.startswith("passed ")
                failed += line.startswith("failed ")
    return run, passed, failed


def main(results: str) -> int:
    stages = os.path.join(results, "stages.txt")
    if not os.path.exists(stages):
        print("no stage ran")
        return 1
    print("== summary")
    with open(stages) as lines:
        for line in lines:
            name, seconds, status = line.split()
            run, passed, failed = stage_counts(os.path.join(results, name))
            outcome = "passed" if status == "0" else f"FAILED (exit status {status})"
            minutes, rest = divmod(int(seconds), 60)
            print(f"{name:<10} {run:5d} tests, {passed:5d} passed, {failed:3d} failed, "
                  f"{minutes:3d} min {rest:2d} s  {outcome}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: stage-summary.py RESULTS")
    sys.exit(main(sys.argv[1]))
