#!/usr/bin/python3
"""Checks the properties CTest gives the tests of a build tree: every
GoogleTest case runs in the C locale, the cases of the screen binaries run
alone and within a few minutes (as does the user-commands script on its
screen), and the soaks carry the label that make check leaves out.
Usage: test_properties_test.py <ctest> <build tree>"""
import json
import subprocess
import sys

# Cases that must carry the label, and some that must not.
SOAKS = ["MaintainTest.LongRandomRunAgainstAModel", "EditTest.PackSurvivesBeingKilled",
         "PackFixture.PackSurvivesBeingKilled", "GridScrollScreenTest.WhatEachScrollLeavesOnTheScreenEqualsAFullRepaint"]
QUICK = ["ErrorRootTest.EachFamilyIsCaughtAsTheRootWithItsMessage", "MaintainTest.AFullLeafSplitsAndTheRootMovesUp",
         "ScreenInputTest.RealKeysAndClicksReachTheControls"]
# A screen test that hangs fails within this many seconds, long before a run's own limit.
MOST_SECONDS = 600


def main():
    ctest, tree = sys.argv[1], sys.argv[2]
    listing = subprocess.run([ctest, "--show-only=json-v1"], cwd=tree, capture_output=True, text=True, check=True)
    tests = {}
    for t in json.loads(listing.stdout)["tests"]:
        tests[t["name"]] = {p["name"]: p["value"] for p in t.get("properties", [])}, t.get("command", [])
    failures = []
    for name, (props, command) in tests.items():
        if not any("--gtest_filter=" in str(c) for c in command):
            continue
        if "LC_ALL=C" not in props.get("ENVIRONMENT", []):
            failures.append(f"{name}: not in the C locale ({props.get('ENVIRONMENT')})")
        if command and command[0].endswith("_screen_tests"):
            if not props.get("RUN_SERIAL"):
                failures.append(f"{name}: a screen test that does not run alone")
            if not 0 < float(props.get("TIMEOUT", 0)) <= MOST_SECONDS:
                failures.append(f"{name}: a screen test without a timeout of at most {MOST_SECONDS} s")
    script = tests.get("user_commands_script", ({}, []))[0]
    if not 0 < float(script.get("TIMEOUT", 0)) <= MOST_SECONDS:
        failures.append(f"user_commands_script: without a timeout of at most {MOST_SECONDS} s")
    for name in SOAKS + QUICK:
        if name not in tests:
            continue  # a binary this tree does not build
        soak = "soak" in tests[name][0].get("LABELS", [])
        if soak != (name in SOAKS):
            failures.append(f"{name}: {'labelled' if soak else 'not labelled'} soak")
    if not any(n in tests for n in SOAKS):
        failures.append("none of the soaks is in the tree")
    for f in failures:
        print("FAIL " + f)
    print(f"{len(tests)} tests, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
