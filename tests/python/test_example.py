"""examples/mirror_and_log.py against a simulated valdor and quillet whose
world moves only by commands."""

import os
import signal
import subprocess
import sys

from served import SOURCE_DIR, Backplane

EXAMPLE = os.path.join(SOURCE_DIR, "examples", "mirror_and_log.py")


def untimed(line):
    """The line without its time stamp."""
    head, _, rest = line.rstrip("\n").partition("  ")
    return rest if head.replace(".", "").isdigit() else line.rstrip("\n")


def test_mirrors_valdors_inputs_and_logs_quillets_temperatures():
    served = Backplane(["valdor@2", "quillet@1"])
    try:
        served.command("run 300ms")
        for line in ("select 2", "drive 13 low", "select 1", "thermo 3 100", "thermo 2 open",
                     "run 600ms"):
            served.command(line)
        child = subprocess.Popen([sys.executable, EXAMPLE, "--sim", served.socket],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        lines = [untimed(child.stdout.readline()) for _ in range(4)]
        assert lines == [
            "0x25  dout 12, din 4, aout 2 (12 bit), ain 2",
            "0x26  dout 9, din 6, thermo 8",
            "valdor inputs 0x4 -> outputs",
            "quillet 1: 0.00  2: open input  3: 100.00  4: 0.00  5: 0.00  6: 0.00  7: 0.00  "
            "8: 0.00",
        ]
        served.command("select 2")
        served.command("run 2ms")
        assert [served.pin(p) for p in (11, 10, 9, 8)] == [0, 0, 1, 0]

        served.command("drive 13 open")
        served.command("drive 12 low")  # input 3
        served.command("run 50ms")
        assert untimed(child.stdout.readline()) == "valdor inputs 0x8 -> outputs"
        served.command("run 2ms")
        assert [served.pin(p) for p in (11, 10, 9, 8)] == [0, 0, 0, 1]

        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=30)
        assert (child.returncode, err) == (0, "")
    finally:
        served.close()


def test_says_so_when_nothing_serves_the_socket(tmp_path):
    socket = str(tmp_path / "none.sock")
    done = subprocess.run([sys.executable, EXAMPLE, "--sim", socket, "--seconds", "1"],
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 1
    assert done.stderr.startswith("mirror_and_log: sim:" + socket + ": cannot connect")
