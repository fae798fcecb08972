#!/usr/bin/env python3
"""Runs the README's boardsim and boardctl sessions and its waveform commands
as printed (with this build's programs and a socket of its own) and checks
that they print what the README shows.

Commands the README only lists (the rp2040 build, a real /dev/i2c-1, the
release benchmarks, gtkwave) are left to their own tests or to a person.
"""
import argparse
import os
import re
import shlex
import signal
import socket
import subprocess
import sys
import tempfile
import time

BOARDSIM_WORDS = {"run", "i2c", "select", "pin", "drive", "adc", "thermo", "dac", "console",
                  "time", "resets", "watchdog", "help"}
failures = []


def fail(what):
    failures.append(what)
    print("FAIL: " + what, file=sys.stderr)


def block_after(lines, first):
    """The indented block whose first line starts with `first`, unindented."""
    for i, line in enumerate(lines):
        if line.startswith("    " + first):
            block = []
            for l in lines[i:]:
                if not l.startswith("    "):
                    break
                block.append(l[4:])
            return block
    sys.exit("README: no block starting with " + first)


def without_comment(line):
    return re.sub(r"\s+#.*$", "", line).rstrip()


def boardsim_session(lines, boardsim):
    block = block_after(lines, "$ ./build/host/tools/boardsim/boardsim")
    args = shlex.split(block[0][2:])[1:]
    commands, expected = [], []
    for line in block[1:]:
        # "pin 11: 1 (...)" and "pin change_n (17): 0 (...)" are pin's answers,
        # not commands
        answer = re.match(r"\w+ \w+( \(\d+\))?: ", line)
        command = line.split()[0] in BOARDSIM_WORDS and not answer
        (commands if command else expected).append(line)
    r = subprocess.run([boardsim] + args, input="\n".join(commands) + "\n", text=True,
                       capture_output=True, timeout=120)
    if r.returncode != 0 or r.stdout.splitlines() != expected:
        fail("boardsim session printed %r (status %d, %s), README shows %r"
             % (r.stdout.splitlines(), r.returncode, r.stderr.strip(), expected))


def wait_for_socket(path, limit=60):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            s = socket.socket(socket.AF_UNIX)
            s.connect(path)
            return s
        except OSError:
            time.sleep(0.02)
    return None


def world_run(world, duration):
    world.sendall(("run %s\n" % duration).encode())
    answer = b""
    while not answer.endswith(b"\n"):
        chunk = world.recv(100)
        if not chunk:
            break
        answer += chunk
    if answer != b"ok\n":
        fail("the world did not run %s: %r" % (duration, answer))


def host_session(lines, tools, sock):
    block = block_after(lines, "cmake --preset host && cmake --build --preset host")
    env = dict(os.environ, PATH=tools + ":" + os.environ["PATH"])
    steps = []  # (command, expected output lines)
    for line in block:
        text = line.replace("/tmp/bp.sock", sock)
        if re.match(r"(boardsim|boardctl|printf|kill|cmake|export)\b", text):
            steps.append((text, []))
        else:
            steps[-1][1].append(without_comment(text))
    try:
        run_steps(steps, env, sock)
    finally:
        if run_steps.server and run_steps.server.poll() is None:
            run_steps.server.kill()
            run_steps.server.wait()


def run_steps(steps, env, sock):
    run_steps.server = None
    world = None
    for command, expected in steps:
        if command.startswith(("cmake ", "export ")):
            continue  # the build is ctest's, PATH is set above
        if command.startswith("boardsim --listen"):
            # "& sleep 1" gives the boards their 0.1 s to come up; here the
            # world's own clock does, whatever this machine's speed.
            server = run_steps.server = subprocess.Popen(shlex.split(command.split("&")[0]),
                                                         env=env, stderr=subprocess.DEVNULL)
            world = wait_for_socket(sock)
            if not world:
                fail("boardsim --listen did not come up")
                return
            world_run(world, "300ms")
            continue
        # A person's pause between two commands, in the world's time: on a
        # busy machine the world may run slower than the wall clock.
        world_run(world, "10ms")
        if command.startswith("kill %1"):
            world.close()
            server.send_signal(signal.SIGTERM)
            if server.wait(timeout=30) != 0 or os.path.exists(sock):
                fail("kill %1: boardsim did not end cleanly and remove its socket")
            continue
        if " watch " in command:
            watch = subprocess.Popen(shlex.split(without_comment(command)), env=env, text=True,
                                     stdout=subprocess.PIPE)
            first = watch.stdout.readline()
            watch.send_signal(signal.SIGINT)
            try:
                status = watch.wait(timeout=30)
            except subprocess.TimeoutExpired:
                watch.kill()
                status = watch.wait()
            if status != 0 or not re.match(r"\d+\.\d{3} in 0x[0-9a-f]+$", first.strip()):
                fail("%s: printed %r, ended with %d after SIGINT" % (command, first, status))
            continue
        r = subprocess.run(command, shell=True, env=env, text=True, capture_output=True,
                           timeout=60)
        got = [l.rstrip() for l in r.stdout.splitlines()]
        if r.returncode != 0 or got != expected:
            fail("%s: printed %r (status %d, %s), README shows %r"
                 % (command, got, r.returncode, r.stderr.strip(), expected))


def readme_command(lines, start):
    """A command of the README, continuation lines joined."""
    block = block_after(lines, start)
    text = ""
    for line in block:
        text += line.rstrip("\\").strip() + " "
        if not line.endswith("\\"):
            break
    return text.strip()


def waveform_commands(lines, source, boardsim, tmp):
    vcd, svg = os.path.join(tmp, "run.vcd"), os.path.join(tmp, "demo-waveform.svg")
    record = readme_command(lines, "./build/host/tools/boardsim/boardsim --vcd")
    record = record.replace("./build/host/tools/boardsim/boardsim", boardsim)
    record = record.replace("run.vcd", vcd)
    plot = readme_command(lines, "python3 tools/vcd_plot/vcd_plot.py")
    plot = plot.replace("run.vcd", vcd).replace("docs/demo-waveform.svg", svg)
    for command in (record, plot):
        r = subprocess.run(command, shell=True, cwd=source, text=True, capture_output=True,
                           timeout=300)
        if r.returncode != 0:
            fail("%s: status %d: %s" % (command, r.returncode, r.stderr.strip()[-500:]))
            return
    with open(svg) as f:
        picture = f.read()
    for name in ("valdor@2.led_startup", "bus.scl", "valdor@2.spi_mosi"):
        if name not in picture:
            fail("the waveform picture has no " + name)
    if picture.count("<path") < 3 or picture.count('class="wire"') < 100:
        fail("the waveform picture draws next to nothing")


def perturbed_demo(lines, source, boardsim):
    command = readme_command(lines, "./build/host/tools/boardsim/boardsim --perturb")
    command = command.replace("./build/host/tools/boardsim/boardsim", boardsim)
    r = subprocess.run(command, shell=True, cwd=source, capture_output=True, timeout=300)
    if r.returncode != 0:
        fail("%s: status %d" % (command, r.returncode))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--readme", required=True)
    p.add_argument("--source", required=True)
    p.add_argument("--boardsim", required=True)
    p.add_argument("--boardctl", required=True)
    a = p.parse_args()
    with open(a.readme) as f:
        lines = f.read().splitlines()
    tools = os.path.dirname(a.boardsim) + ":" + os.path.dirname(a.boardctl)
    with tempfile.TemporaryDirectory(prefix="readme-") as tmp:
        boardsim_session(lines, a.boardsim)
        host_session(lines, tools, os.path.join(tmp, "bp.sock"))
        waveform_commands(lines, a.source, a.boardsim, tmp)
        perturbed_demo(lines, a.source, a.boardsim)
    if failures:
        sys.exit("%d README commands did not do what the README shows" % len(failures))
    print("README sessions and commands: as printed")


if __name__ == "__main__":
    main()
