#!/usr/bin/env python3
# plistlib on the other side of the codec's tests: `write DIR` writes the
# sample as DIR/python.xml and DIR/python.bin; `check FILE...` exits 0 when
# each FILE holds the sample, key order and booleans apart from integers.
import datetime
import math
import plistlib
import sys

# Every kind (integers above the signed range too), keys out of alphabetical
# order, booleans beside integers, over 255 objects and over 65535 bytes.
SAMPLE = {
    "zeta": True,
    "one": 1,
    "integers": [-1, 255, 256, 65536, 2**32, -(2**63), 2**63, 2**64 - 1],
    "reals": [0.1, -0.0, 1e300, -2.5e-310, math.inf, -math.inf],
    "strings": ["", "caf\u00e9", "\U0001F600 \u65e5", "<&>\n\t ]]> \"'"],
    "data": [b"", bytes(range(256)), bytes(range(256)) * 274],
    "dates": [datetime.datetime(1970, 1, 1), datetime.datetime(2024, 2, 29, 12, 34, 56)],
    "nested": [{"k\u00e9y": [False, {}]}, [], list(range(300))],
}


def canon(value):
    if isinstance(value, dict):
        return ("dict", [(k, canon(v)) for k, v in value.items()])
    if isinstance(value, list):
        return ("array", [canon(v) for v in value])
    return (type(value).__name__, repr(value))


if sys.argv[1] == "write":
    for name, fmt in (("python.xml", plistlib.FMT_XML), ("python.bin", plistlib.FMT_BINARY)):
        with open(f"{sys.argv[2]}/{name}", "wb") as f:
            plistlib.dump(SAMPLE, f, fmt=fmt, sort_keys=False)
else:
    for path in sys.argv[2:]:
        with open(path, "rb") as f:
            if canon(plistlib.load(f)) != canon(SAMPLE):
                sys.exit(f"{path}: plistlib read something else")
