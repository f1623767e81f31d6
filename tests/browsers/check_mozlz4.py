#!/usr/bin/env python3
"""Checks the search settings the browser tests wrote back compressed, with
the lz4 module rather than the program's own reader: each file must carry
Firefox's header, decode to JSON, and equal the JSON it was made from with
the engine (by "id") and every default choice naming it removed. Each
manifest line: the written file, the JSON before, the engine's id."""
import json, os, struct, sys
import lz4.block

folder = sys.argv[1]
lines = [l for l in open(os.path.join(folder, "manifest.txt"), encoding="utf-8").read().splitlines() if l]
if not lines:
    sys.exit("no files recorded")
for line in lines:
    written, before, engine = line.split("\t")
    raw = open(os.path.join(folder, written), "rb").read()
    if raw[:8] != b"mozLz40\0":
        sys.exit(f"{written}: no mozLz40 header")
    (size,) = struct.unpack("<I", raw[8:12])
    data = lz4.block.decompress(raw[12:], uncompressed_size=size)
    if len(data) != size:
        sys.exit(f"{written}: {len(data)} bytes, the header says {size}")
    got = json.loads(data.decode("utf-8"))
    expected = json.loads(open(os.path.join(folder, before), "rb").read().decode("utf-8"))
    expected["engines"] = [e for e in expected["engines"] if e.get("id") != engine]
    meta = expected.get("metaData", {})
    for key, hashKey in (("defaultEngineId", "defaultEngineIdHash"), ("privateDefaultEngineId", "privateDefaultEngineIdHash")):
        if meta.get(key) == engine:
            del meta[key]
            meta.pop(hashKey, None)
    if got != expected:
        sys.exit(f"{written}: differs from {before} by more than the engine {engine}")
    print(f"ok {written} ({engine} gone, {len(got['engines'])} engines left)")
