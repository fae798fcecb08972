#!/usr/bin/env python3
"""SCL's low phases in a boardsim VCD: how many, the longest, the commonest.

    scripts/vcd_scl_lows.py [--longest-at-most NS] FILE.vcd...

A board that never stretches the clock past the master's own low phase
shows one length only (5000 ns at 100 kHz, 1300 ns at 400 kHz). With
--longest-at-most the exit status is 1 when a file has a longer one."""
import collections
import sys


def scl_lows(path):
    scl_id, t, level, fell, lows = None, 0, None, None, []
    with open(path) as f:
        for line in f:
            words = line.split()
            if words[:1] == ["$var"] and words[4] == "bus.scl":
                scl_id = words[3]
            elif line.startswith("#"):
                t = int(line[1:])
            elif scl_id and line.strip() in ("0" + scl_id, "1" + scl_id):
                high = line[0] == "1"
                if level and not high:
                    fell = t
                elif level is False and high and fell is not None:
                    lows.append(t - fell)
                level = high
    return lows


args = sys.argv[1:]
limit = None
if args[:1] == ["--longest-at-most"] and len(args) >= 2:
    limit = int(args[1])
    args = args[2:]
if not args:
    sys.exit(__doc__)
status = 0
for path in args:
    lows = scl_lows(path)
    common = collections.Counter(lows).most_common(4)
    longest = max(lows, default=0)
    print(f"{path}: {len(lows)} low phases, longest {longest} ns, commonest "
          + ", ".join(f"{ns} ns x{n}" for ns, n in common))
    if not lows or (limit is not None and longest > limit):
        status = 1
sys.exit(status)
