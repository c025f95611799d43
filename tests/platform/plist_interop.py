#!/usr/bin/env python3
"""plistlib on the other side of the codec's tests: `write DIR` writes DIR/python.xml and
DIR/python.bin; `check FILE` exits 0 when FILE holds the sample, key order included."""
import datetime
import math
import plistlib
import sys


def sample():
    # Keep in step with samplePlist() in test_support.h.
    return {
        "zeta": True,
        "alpha": False,
        "one": 1,
        "integers": [0, -1, 255, 256, 65535, 65536, 2**32, 2**63 - 1, -(2**63), 2**63,
                     2**64 - 1],
        "reals": [0.1, -0.0, 1e300, -2.5e-310, 3.0, math.inf, -math.inf],
        "strings": ["", "plain", "caf\u00e9", "\U0001F600 smile", "\u65e5\u672c",
                    "<&>\n\t ]]> \"'"],
        "data": [b"", bytes(range(256))],
        "dates": [datetime.datetime(2001, 1, 1), datetime.datetime(1970, 1, 1),
                  datetime.datetime(2024, 2, 29, 12, 34, 56)],
        "nested": [{"k\u00e9y": [{"x": 2}]}, [], {}],
        "many": list(range(300)),
        "big": bytes(i % 251 for i in range(70000)),
        "caf\u00e9 \U0001F600": "non-ASCII key",
    }


def canon(value):
    """A form that tells booleans from integers and keeps dictionary order."""
    if isinstance(value, bool):
        return ("bool", value)
    if isinstance(value, int):
        return ("int", value)
    if isinstance(value, float):
        return ("real", repr(value))
    if isinstance(value, dict):
        return ("dict", [(k, canon(v)) for k, v in value.items()])
    if isinstance(value, list):
        return ("array", [canon(v) for v in value])
    return (type(value).__name__, value)


def main():
    mode, path = sys.argv[1], sys.argv[2]
    if mode == "write":
        for name, fmt in (("python.xml", plistlib.FMT_XML), ("python.bin", plistlib.FMT_BINARY)):
            with open(f"{path}/{name}", "wb") as f:
                plistlib.dump(sample(), f, fmt=fmt, sort_keys=False)
        return 0
    with open(path, "rb") as f:
        loaded = plistlib.load(f)
    if canon(loaded) != canon(sample()):
        print(f"{path}: plistlib read\n{canon(loaded)!r:.4000}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
