#!/usr/bin/env python3
"""Validates the JSON twins of the reports the scenarios kept.

    check_report_twins.py SCHEMA FOLDER

FOLDER holds one folder per scenario with the reports it produced. Every text
report must have its twin; every twin must be UTF-8 without a byte-order mark,
strict JSON without repeated keys, valid against the schema, and name its own
text report and the kind its file name says. Fails when there is no twin at
all, so that a broken collection cannot pass unseen.
"""
import json
import pathlib
import sys

import jsonschema

KINDS = {"tvnScan": "scan", "customScan": "customScan", "TVNrem": "removal"}


def no_repeats(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("repeated key in %r" % keys)
    return dict(pairs)


def reject_constant(name):
    raise ValueError("not JSON: " + name)


def check(schema_path, folder):
    schema = json.loads(pathlib.Path(schema_path).read_text(encoding="utf-8"))
    validator = jsonschema.Draft202012Validator(schema)
    problems = []
    twins = 0
    for text in sorted(folder.glob("*/*.txt")):
        if not text.with_suffix(".json").is_file():
            problems.append("%s: no JSON twin" % text)
    for twin in sorted(folder.glob("*/*.json")):
        twins += 1
        data = twin.read_bytes()
        if data.startswith(b"\xef\xbb\xbf"):
            problems.append("%s: begins with a byte-order mark" % twin)
            continue
        try:
            document = json.loads(data.decode("utf-8"), object_pairs_hook=no_repeats,
                                  parse_constant=reject_constant)
        except (UnicodeDecodeError, ValueError) as error:
            problems.append("%s: %s" % (twin, error))
            continue
        for error in validator.iter_errors(document):
            problems.append("%s: %s at %s" % (twin, error.message, "/".join(map(str, error.absolute_path))))
        prefix = next((p for p in KINDS if twin.name.startswith(p)), None)
        if prefix is None or document.get("kind") != KINDS[prefix]:
            problems.append("%s: kind %r does not match its name" % (twin, document.get("kind")))
        if document.get("report") != twin.with_suffix(".txt").name:
            problems.append("%s: names the report %r" % (twin, document.get("report")))
    if twins == 0:
        problems.append("%s: no JSON twins at all" % folder)
    for problem in problems:
        print(problem)
    print("%d twins checked, %d problems" % (twins, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(check(sys.argv[1], pathlib.Path(sys.argv[2])))
