#!/usr/bin/env python3
"""The account of QtTest programs as lines "KIND<TAB>check<TAB>detail".

    qtest-account.py [--label TEXT] [--ctest JUNIT] RESULT.txt...

Each RESULT.txt is a QtTest program's text output (-o file,txt). Every test
function and data row is one check: PASS, FAIL (a failure or an unexpected
pass), LIMIT (it met an expected failure, whose reason is the detail) or
SKIP. initTestCase and cleanupTestCase count only when they fail or skip.
A program whose text ends early failed. With --ctest, ctest's JUnit file adds
the programs that are no QtTest, and a QtTest program that failed without a
failing check (a crash at its end, a time-out). --label goes before every
check's name.
"""
import argparse
import os
import re
import xml.etree.ElementTree as ET

LINE = re.compile(r"^(PASS|FAIL!|XPASS|XFAIL|SKIP)\s+: (\S+?\(.*?\))(.*)$", re.M)


def account(path):
    text = open(path, encoding="utf-8", errors="replace").read()
    rows = {}
    limited = {}
    for kind, check, rest in LINE.findall(text):
        rest = rest.strip()
        if kind == "XFAIL":
            limited[check] = rest
            continue
        if kind == "PASS" and re.search(r"::(init|cleanup)TestCase\(\)$", check):
            continue
        if kind == "PASS":
            rows[check] = ("PASS", "")
        elif kind == "SKIP":
            rows[check] = ("SKIP", rest)
        else:
            rows[check] = ("FAIL", rest or kind)
    for check, reason in limited.items():
        if rows.get(check, ("PASS",))[0] == "PASS":
            rows[check] = ("LIMIT", reason)
    out = [(kind, check, detail) for check, (kind, detail) in rows.items()]
    if "Totals:" not in text:
        out.append(("FAIL", os.path.basename(path)[:-4], "ended before its results were complete"))
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--label", default="")
    parser.add_argument("--ctest")
    parser.add_argument("results", nargs="*")
    args = parser.parse_args()
    out = []
    programs = {}
    for path in args.results:
        name = os.path.basename(path)[:-4]
        programs[name] = account(path)
        out += programs[name]
    if args.ctest:
        for case in ET.parse(args.ctest).getroot().iter("testcase"):
            name = case.get("name")
            failed = case.find("failure") is not None or case.get("status") in ("fail", "failed")
            if name not in programs:
                out.append(("FAIL" if failed else "PASS", name, "see ctest.log" if failed else ""))
            elif failed and not any(kind == "FAIL" for kind, _, _ in programs[name]):
                out.append(("FAIL", name, f"failed without a failing check (see {name}.out)"))
    for kind, check, detail in out:
        print(f"{kind}\t{args.label}{check}\t{detail}")


if __name__ == "__main__":
    main()
