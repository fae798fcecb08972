"""The host side of the I/O extension boards, on a Linux I2C adapter or on
boardsim's simulated backplane.

    import boardhost
    bus = boardhost.open_bus("/dev/i2c-1")      # or boardhost.connect_sim("/tmp/bp.sock")
    for found in boardhost.scan(bus):
        print(hex(found.address), found.descriptor)
    board = boardhost.Board(bus, 0x25)
    board.set_outputs(0x009)
    print(board.inputs(), board.analog_inputs())

Every failure raises a BoardError subclass named after its kind.
"""

from ._boardhost import (
    AbsentError,
    BadArgumentError,
    BadDescriptorError,
    Board,
    BoardError,
    Bus,
    BusError,
    Descriptor,
    Event,
    Found,
    NackError,
    ShortReadError,
    SimBus,
    ThermoFault,
    UnsupportedError,
    Watch,
    connect_sim,
    open_bus,
    scan,
)

__all__ = [
    "AbsentError",
    "BadArgumentError",
    "BadDescriptorError",
    "Board",
    "BoardError",
    "Bus",
    "BusError",
    "Descriptor",
    "Event",
    "Found",
    "NackError",
    "ShortReadError",
    "SimBus",
    "ThermoFault",
    "UnsupportedError",
    "Watch",
    "connect_sim",
    "open_bus",
    "scan",
]

# help(boardhost) lists what a module defines itself.
for _name in __all__:
    try:
        globals()[_name].__module__ = __name__
    except (AttributeError, TypeError):
        pass
del _name
