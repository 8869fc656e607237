#!/usr/bin/env python3
"""Mutation runner: applies each fault of tools/mutants.json alone, rebuilds the
fast test suites incrementally, runs them, and reports which tests notice.

A mutant is one exact piece of text (it must occur once in its file) and its
replacement; "survives" records why a fault no test can notice is left alive. The source file is always put back, on failure and on Ctrl-C too.

Who judges a mutant: by default the suites that link its file (the application's
or the emulation's); "suites" names others instead (e.g. ["sim"]), and "ctest"
adds the ctest tests matching a -R pattern (exit statuses of the programs).
"""
import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SUITES = {"app": "tests/sta_meas_tests", "host": "tests/zep_host_tests",
          "sim": "tests/sim/zep_sim_tests", "record": "tests/record/record_tests",
          "recordlog": "tests/record/record_log_tests"}
CTEST_TARGETS = ["zep-sim", "sta_meas"]  # what the program-level tests run
HOST_PREFIX = "src/zep/host/"


def suites_for(m):
    """The emulation is linked into both suites; the application only into one."""
    if "suites" in m:
        return m["suites"]
    return ["host", "app"] if m["file"].startswith(HOST_PREFIX) else ["app"]


def configure(build):
    if (build / "build.ninja").exists():
        return
    env = dict(os.environ)
    if shutil.which("ccache"):
        env.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
        env.setdefault("CMAKE_C_COMPILER_LAUNCHER", "ccache")
    # Unsanitized and without -Werror: a mutant that only draws a warning still runs.
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_COMPILER=g++",
                    "-DZEP_WERROR=OFF", "-DZEP_SANITIZE=OFF"],
                   check=True, env=env, stdout=subprocess.DEVNULL)


def build(build_dir, suites, ctest=None):
    targets = [Path(SUITES[s]).name for s in suites] + (CTEST_TARGETS if ctest else [])
    done = subprocess.run(["cmake", "--build", str(build_dir), "--target", *targets],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return done.returncode == 0, done.stdout


def list_tests(binary):
    out = subprocess.run([str(binary), "--gtest_list_tests"], check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    names, suite = [], ""
    for line in out.splitlines():
        if not line.startswith(" "):
            suite = line.split("#")[0].strip()
        else:
            names.append(suite + line.split("#")[0].strip())
    return names


def run_binary(binary, timeout, test_filter="*"):
    """Names of the failed tests, or None when the run crashed or hung."""
    with tempfile.TemporaryDirectory() as tmp:
        report = Path(tmp) / "out.json"
        try:
            subprocess.run([str(binary), f"--gtest_output=json:{report}",
                            f"--gtest_filter={test_filter}"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        if not report.exists():
            return None
        data = json.loads(report.read_text())
    failed = []
    for suite in data.get("testsuites", []):
        for test in suite.get("testsuite", []):
            if test.get("failures"):
                failed.append(f"{suite['name']}.{test['name']}")
    return failed


def failing_tests(binary, timeout):
    """Failed tests of one suite; after a crash or hang, each test is run alone
    so that the kill is still credited to the tests that see it."""
    failed = run_binary(binary, timeout)
    if failed is not None:
        return failed, False
    alone = []
    for name in list_tests(binary):
        result = run_binary(binary, timeout, name)
        if result is None or result:
            alone.append(name)
    return alone, True


def failing_ctests(build_dir, pattern, timeout):
    """Names of the ctest tests matching pattern that fail, each as "ctest:NAME"."""
    done = subprocess.run(["ctest", "--test-dir", str(build_dir), "-R", pattern,
                           "--timeout", str(int(timeout))],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if "No tests were found" in done.stdout:
        raise ValueError(f"ctest pattern {pattern!r} matches no test")
    failed = re.findall(r"^\s*\d+ - (\S+) \(", done.stdout.split("tests FAILED:")[-1], re.M)
    return ["ctest:" + name for name in failed] if done.returncode else []


class Mutation:
    """The file with one fault in it, for the life of a with-block."""

    def __init__(self, path, find, replace):
        self.path, self.find, self.replace = path, find, replace
        self.original = path.read_text()

    def __enter__(self):
        count = self.original.count(self.find)
        if count != 1:
            raise ValueError(f"{self.path}: text occurs {count} times, not once")
        self.path.write_text(self.original.replace(self.find, self.replace))
        return self

    def __exit__(self, *exc):
        self.path.write_text(self.original)
        return False


def check_list(mutants):
    problems = []
    seen = set()
    for m in mutants:
        if m["id"] in seen:
            problems.append(f"{m['id']}: id used twice")
        seen.add(m["id"])
        count = (ROOT / m["file"]).read_text().count(m["find"])
        if count != 1:
            problems.append(f"{m['id']}: text occurs {count} times in {m['file']}")
    return problems


def run_one(m, build_dir, timeout):
    suites, ctest = suites_for(m), m.get("ctest")
    with Mutation(ROOT / m["file"], m["find"], m["replace"]):
        ok, log = build(build_dir, suites, ctest)
        if not ok:
            return {"status": "build error", "killers": [], "log": log[-2000:]}
        killers, crashed = [], False
        for s in suites:
            failed, hard = failing_tests(build_dir / SUITES[s], timeout)
            killers += failed
            crashed = crashed or hard
        if ctest:
            killers += failing_ctests(build_dir, ctest, timeout)
    status = "killed" if killers or crashed else "survived"
    return {"status": status, "killers": sorted(killers), "crash": crashed}


def summarize(mutants, results, elapsed):
    killed = [m for m in mutants if results[m["id"]]["status"] == "killed"]
    survived = [m for m in mutants if results[m["id"]]["status"] == "survived"]
    broken = [m for m in mutants if results[m["id"]]["status"] == "build error"]
    judged = len(killed) + len(survived)
    rate = 100.0 * len(killed) / judged if judged else 0.0
    print(f"\nkilled {len(killed)} of {judged} mutants ({rate:.1f}%), "
          f"{len(broken)} did not build, in {elapsed:.0f} s")
    for m in survived:
        print(f"  survived  {m['id']}: {m['fault']}")
        if "survives" in m:
            print(f"            known: {m['survives']}")
    for m in broken:
        print(f"  no build  {m['id']}")
    by_test = {}
    for m in killed:
        for t in results[m["id"]]["killers"]:
            by_test.setdefault(t, []).append(m["id"])
    print("\nmutants killed per test (* = killed by this test alone):")
    for test in sorted(by_test):
        marks = [i + ("*" if results[i]["killers"] == [test] else "") for i in by_test[test]]
        print(f"  {test}: {len(marks)}  {' '.join(marks)}")
    return {"killed": len(killed), "judged": judged, "rate": rate,
            "survived": [m["id"] for m in survived], "buildErrors": [m["id"] for m in broken],
            "byTest": by_test, "seconds": round(elapsed)}


def check_unmutated(mutants, build_dir, timeout):
    """Every judge the chosen mutants name must pass on the unmutated tree."""
    suites = sorted({s for m in mutants for s in suites_for(m)})
    ctests = sorted({m["ctest"] for m in mutants if "ctest" in m})
    ok, log = build(build_dir, suites, bool(ctests))
    if not ok:
        sys.exit("the unmutated build fails:\n" + log)
    for s in suites:
        failed = run_binary(build_dir / SUITES[s], timeout)
        if failed is None or failed:
            sys.exit(f"the unmutated {s} suite fails: {failed}")
    for pattern in ctests:
        failed = failing_ctests(build_dir, pattern, timeout)
        if failed:
            sys.exit(f"the unmutated ctest tests fail: {failed}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mutants", default=str(ROOT / "tools/mutants.json"))
    parser.add_argument("--build", default=str(ROOT / "build/mutate"))
    parser.add_argument("--only", default="", help="run the mutants whose id contains this")
    parser.add_argument("--check", action="store_true", help="only check that every text occurs once")
    parser.add_argument("--timeout", type=float, default=120.0, help="seconds per suite run")
    args = parser.parse_args()

    mutants = json.loads(Path(args.mutants).read_text())
    problems = check_list(mutants)
    if problems or args.check:
        print("\n".join(problems) if problems else f"{len(mutants)} mutants, each text found once")
        return 1 if problems else 0
    mutants = [m for m in mutants if args.only in m["id"]]

    # SIGTERM ends the run the way Ctrl-C does, through the with-block that restores the file.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    build_dir = Path(args.build)
    configure(build_dir)
    check_unmutated(mutants, build_dir, args.timeout)

    started = time.monotonic()
    results = {}
    for n, m in enumerate(mutants, 1):
        results[m["id"]] = run_one(m, build_dir, args.timeout)
        r = results[m["id"]]
        print(f"[{n}/{len(mutants)}] {r['status']:<11} {m['id']}"
              + (f"  ({len(r['killers'])} tests)" if r["killers"] else ""), flush=True)
    summary = summarize(mutants, results, time.monotonic() - started)
    summary["results"] = results
    (build_dir / "mutate-report.json").write_text(json.dumps(summary, indent=2))
    print(f"\nfull report: {build_dir / 'mutate-report.json'}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted; the mutated file was put back")
