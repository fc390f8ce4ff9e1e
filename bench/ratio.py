#!/usr/bin/env python3
"""Prints each benchmark's time as a ratio to the reference measured in the same run.

usage: ratio.py RESULTS.json SUBJECT REFERENCE
"""
import json
import sys


def main():
    path, subject, reference = sys.argv[1:4]
    with open(path) as f:
        results = {b["name"]: b for b in json.load(f)["benchmarks"]}
    s, r = results[subject], results[reference]
    ratio = s["real_time"] / r["real_time"]
    print(f"{subject}: {ratio:.2f} x the time of {reference} (same run, same bytes)")


if __name__ == "__main__":
    main()
