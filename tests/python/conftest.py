import pytest

from served import Backplane


@pytest.fixture(scope="module")
def backplane():
    """A valdor in slot 2 (0x25) and a quillet in slot 1 (0x26) whose world
    moves only by commands, after both have found their slots."""
    served = Backplane(["valdor@2", "quillet@1"])
    served.command("run 300ms")
    yield served
    served.close()
