#!/usr/bin/env python3
"""A Raspberry Pi host's loop: finds the boards, mirrors valdor's digital
inputs to its first outputs and logs quillet's temperatures once a second.

    examples/mirror_and_log.py                      # boardsim --listen /tmp/bp.sock
    examples/mirror_and_log.py --sim /path/bp.sock
    examples/mirror_and_log.py --bus /dev/i2c-1     # the boards on the Pi's I2C1

Ctrl-C ends it. boardhost comes from `pip install ./python` or from the
host build (PYTHONPATH=build/host/python).
"""

import argparse
import sys
import time

import boardhost

POLL = 0.02  # seconds between input reads
HEARTBEAT = 0.2  # well inside the boards' 500 ms host-silence timer
LOG = 1.0


def find(bus):
    """valdor has analog outputs, quillet thermocouples."""
    valdor = quillet = None
    for found in boardhost.scan(bus):
        if found.error:
            print("%#x: %s" % (found.address, found.error), file=sys.stderr)
            continue
        print("%#x  %s" % (found.address, found.descriptor), flush=True)
        d = found.descriptor
        if d.analog_outputs and d.digital_inputs and not valdor:
            valdor = found.open()
        elif d.thermocouples and not quillet:
            quillet = found.open()
    return valdor, quillet


def temperatures(quillet):
    return "  ".join(
        "%d: %s" % (ch, "%.2f" % t if isinstance(t, float) else t.description)
        for ch, t in enumerate(quillet.thermocouples(), start=1)
    )


def run(bus, seconds):
    valdor, quillet = find(bus)
    if not valdor and not quillet:
        print("no valdor and no quillet on " + bus.name, file=sys.stderr)
        return 1
    boards = [b for b in (valdor, quillet) if b]
    start = time.monotonic()
    beat = log = start
    mirrored = None
    while seconds is None or time.monotonic() - start < seconds:
        now = time.monotonic()
        if now >= beat:
            for b in boards:
                b.heartbeat()
            beat = now + HEARTBEAT
        if valdor:
            mask = valdor.inputs() & ((1 << valdor.descriptor.digital_outputs) - 1)
            if mask != mirrored:
                valdor.set_outputs(mask)
                mirrored = mask
                print("%.3f  valdor inputs %#x -> outputs" % (now - start, mask), flush=True)
        if quillet and now >= log:
            print("%.3f  quillet %s" % (now - start, temperatures(quillet)), flush=True)
            log += LOG
        time.sleep(POLL)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--bus", help="a Linux I2C adapter, /dev/i2c-1 on a Raspberry Pi")
    where.add_argument("--sim", default="/tmp/bp.sock",
                       help="the socket of boardsim --listen (default %(default)s)")
    parser.add_argument("--seconds", type=float, help="stop after this long")
    args = parser.parse_args()
    try:
        bus = boardhost.open_bus(args.bus) if args.bus else boardhost.connect_sim(args.sim)
        return run(bus, args.seconds)
    except boardhost.BoardError as e:
        print("mirror_and_log: %s" % e, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
