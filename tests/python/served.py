"""boardsim --listen as a child process on a socket of its own, for the
Python tests, the example's test and the README's session."""

import os
import shutil
import signal
import subprocess
import tempfile
import threading

import boardhost

SOURCE_DIR = os.environ.get(
    "BOARDS_SOURCE_DIR", os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
)
BOARDSIM = os.environ.get(
    "BOARDSIM", os.path.join(SOURCE_DIR, "build", "host", "tools", "boardsim", "boardsim")
)


class Backplane:
    """The boards on a simulated backplane; `command` drives its world."""

    def __init__(self, boards, speed="0"):
        self.dir = tempfile.mkdtemp(prefix="boardhost-py-")
        self.socket = os.path.join(self.dir, "bp.sock")
        self.server = subprocess.Popen(
            [BOARDSIM, "--listen", self.socket, "--speed", speed, *boards],
            stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE,
            text=True,
        )
        # It says so on standard error once the socket is there.
        ready = "boardsim: listening on " + self.socket
        self.errors = []
        for line in self.server.stderr:
            if line.rstrip("\n") == ready:
                break
            self.errors.append(line)
        else:
            self.server.wait()
            raise RuntimeError("boardsim did not come up: " + "".join(self.errors))
        self._drain = threading.Thread(target=self._read_errors, daemon=True)
        self._drain.start()
        self.world = boardhost.connect_sim(self.socket)

    def _read_errors(self):
        for line in self.server.stderr:
            self.errors.append(line)

    def command(self, line):
        return self.world.command(line)

    def pin(self, pin):
        """The level `pin N` reports: 0 or 1."""
        (line,) = self.command("pin %d" % pin)
        head = "pin %d: " % pin
        assert line.startswith(head), line
        return int(line[len(head)])

    def close(self):
        """Ends the server as SIGTERM does; it must exit cleanly and take its socket."""
        self.world = None
        self.server.send_signal(signal.SIGTERM)
        status = self.server.wait(timeout=30)
        self._drain.join(timeout=30)
        exists = os.path.exists(self.socket)
        shutil.rmtree(self.dir, ignore_errors=True)
        assert status == 0, "boardsim exited with %d: %s" % (status, "".join(self.errors))
        assert not exists, "boardsim left its socket"
