#!/usr/bin/env python3
"""Checks the edits the browser tests made to real preference files: each
edited file must parse as JSON and equal its original with exactly the one
member or element removed. Each manifest line: original, edited, then the
steps (object keys, or #N for an array element) to the removed item; a
repair that removed several items lists each one's steps, the lists
separated by a "+" field, in the order they were removed."""
import json, os, sys

folder = sys.argv[1]
manifest = os.path.join(folder, "manifest.txt")
lines = [l for l in open(manifest, encoding="utf-8").read().splitlines() if l]
if not lines:
    sys.exit("no edits recorded")
for line in lines:
    original, edited, *steps = line.split("\t")
    with open(original, "rb") as f:
        expected = json.loads(f.read().decode("utf-8-sig"))
    with open(edited, "rb") as f:
        raw = f.read()
    got = json.loads(raw.decode("utf-8-sig"))
    removals, current = [], []
    for step in steps:
        if step == "+":
            removals.append(current)
            current = []
        else:
            current.append(step)
    removals.append(current)
    for removal in removals:
        parent = expected
        for step in removal[:-1]:
            parent = parent[int(step[1:])] if step.startswith("#") else parent[step]
        last = removal[-1]
        if last.startswith("#"):
            del parent[int(last[1:])]
        else:
            key = next(k for k in parent if k.lower() == last.lower())
            del parent[key]
    if got != expected:
        sys.exit(f"{edited}: differs from {original} by more than {'/'.join(steps)}")
    print(f"ok {os.path.basename(edited)} ({'/'.join(steps)})")
