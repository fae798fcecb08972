"""A session across a watchdog reset, and watch as a generator, on a valdor
whose world moves only by commands."""

import os
import signal
import subprocess
import sys
import textwrap

import pytest

import boardhost
from served import Backplane


@pytest.fixture
def valdor():
    served = Backplane(["valdor@2"])
    served.command("run 300ms")
    served.command("select 2")
    yield served, boardhost.Board(boardhost.connect_sim(served.socket), 0x25)
    served.close()


def test_a_watchdog_reset_mid_session_is_seen_by_the_host(valdor):
    served, board = valdor
    assert board.heartbeat() is True
    assert board.heartbeat() is False
    board.set_outputs(0x00F)
    served.command("run 2ms")
    assert served.pin(11) == 1

    served.command("watchdog trigger")
    with pytest.raises(boardhost.NackError) as e:
        board.outputs
    assert str(e.value).startswith("board 0x25 did not acknowledge")

    served.command("run 300ms")
    assert board.heartbeat() is True
    assert board.outputs == 0
    assert served.pin(11) == 0
    resets = served.command("resets")
    assert resets[0] == "resets 1" and "watchdog trigger" in resets[1]


def test_watch_yields_changes_gone_back_and_reset(valdor):
    served, board = valdor
    served.command("adc 0 7")
    served.command("run 50ms")
    # Bounded, so that a lost event fails the test instead of hanging it.
    watch = board.watch(interval=0.005, seconds=30)
    assert iter(watch) is watch
    first = [next(watch) for _ in range(3)]
    assert [(e.kind, e.channel, e.value) for e in first] == [
        ("in", None, 0), ("ain", 0, 7), ("ain", 1, 0)]
    assert [str(e) for e in first] == ["in 0x0", "ain 0 7", "ain 1 0"]

    served.command("drive 12 low")  # input 3
    served.command("run 50ms")
    event = next(watch)
    assert (event.kind, event.value, str(event)) == ("in", 0x8, "in 0x8")
    assert event.time >= first[-1].time

    served.command("watchdog trigger")
    gone = next(watch)
    assert gone.kind == "gone"
    assert gone.error.startswith("board 0x25 did not acknowledge")
    served.command("run 300ms")
    assert [next(watch).kind for _ in range(2)] == ["back", "reset"]
    served.command("drive 12 open")


def test_watch_ends_by_itself_after_count_or_time(valdor):
    _, board = valdor
    assert [e.kind for e in board.watch(count=2, seconds=30)] == ["in", "ain"]
    # The first values; nothing changes meanwhile.
    assert [str(e) for e in board.watch(interval=0.01, seconds=0.2)] == [
        "in 0x0", "ain 0 0", "ain 1 0"]


def test_watch_sends_the_heartbeat(valdor):
    served, board = valdor
    board.heartbeat()
    served.command("watchdog trigger")
    served.command("run 300ms")
    # A fresh board on the first round is first contact, not a reset.
    assert [e.kind for e in board.watch(count=3, seconds=30)] == ["in", "ain", "ain"]
    # The watch's heartbeat came first: this one finds its byte.
    assert board.heartbeat() is False


WATCHER = textwrap.dedent("""
    import sys
    import boardhost
    board = boardhost.Board(boardhost.connect_sim(sys.argv[1]), 0x25)
    for event in board.watch(interval=0.005, seconds=60):
        print(event, flush=True)
    print("ended", flush=True)
""")


def test_ctrl_c_ends_the_watch_cleanly(valdor):
    served, _ = valdor
    child = subprocess.Popen([sys.executable, "-c", WATCHER, served.socket],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             env=dict(os.environ))
    assert [child.stdout.readline() for _ in range(3)] == ["in 0x0\n", "ain 0 0\n", "ain 1 0\n"]
    served.command("adc 1 99")
    served.command("run 50ms")
    assert child.stdout.readline() == "ain 1 99\n"
    # Ctrl-C in the loop's own body raises there, as anywhere in Python: wait
    # until the watch polls again (its transfers move virtual time), which it
    # does only inside the watch.
    (before,) = served.command("time")
    for _ in range(100000):
        if served.command("time") != [before]:
            break
    child.send_signal(signal.SIGINT)
    out, err = child.communicate(timeout=30)
    assert (child.returncode, out, err) == (0, "ended\n", ""), err
