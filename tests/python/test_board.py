"""The Python binding on a simulated backplane: the host side through
boardhost, the world through its own commands, and every check on both."""

import pytest

import boardhost
from served import Backplane


@pytest.fixture(scope="module")
def bus(backplane):
    return boardhost.connect_sim(backplane.socket)


def test_scan_finds_both_boards_and_nothing_else(bus):
    found = boardhost.scan(bus)
    assert [(f.address, str(f.descriptor), f.error) for f in found] == [
        (0x25, "dout 12, din 4, aout 2 (12 bit), ain 2", None),
        (0x26, "dout 9, din 6, thermo 8", None),
    ]
    board = found[1].open()
    assert board.address == 0x26
    assert board.descriptor.thermocouples == 8
    assert board.descriptor.hardware == "Pico"


def test_an_absent_board_is_an_error_naming_its_address(backplane, bus):
    with pytest.raises(boardhost.AbsentError) as e:
        boardhost.Board(bus, 0x21)
    assert str(e.value) == "no board at 0x21 on sim:" + backplane.socket
    assert isinstance(e.value, boardhost.BoardError)


@pytest.mark.parametrize(
    "address,slot,mask,pins",
    [
        # valdor: channel i on GPIO 11 - i
        (0x25, 2, 0x009, {11: 1, 10: 0, 8: 1}),
        (0x25, 2, 0x002, {11: 0, 10: 1, 8: 0}),
        # quillet: channels 0, 1, 8 on GPIO 12, 22, 0
        (0x26, 1, 0x101, {12: 1, 22: 0, 0: 1}),
        (0x26, 1, 0x002, {12: 0, 22: 1, 0: 0}),
    ],
)
def test_outputs_reach_their_pins(backplane, bus, address, slot, mask, pins):
    board = boardhost.Board(bus, address)
    board.set_outputs(mask)
    backplane.command("run 2ms")
    backplane.command("select %d" % slot)
    assert {pin: backplane.pin(pin) for pin in pins} == pins
    assert board.outputs == mask


def test_set_output_changes_one_channel_only(backplane, bus):
    valdor = boardhost.Board(bus, 0x25)
    valdor.set_outputs(0x002)
    valdor.set_output(0, True)
    valdor.set_output(1, False)
    valdor.set_output(3, True)
    backplane.command("run 2ms")
    backplane.command("select 2")
    assert [backplane.pin(p) for p in (11, 10, 9, 8)] == [1, 0, 0, 1]
    assert valdor.outputs == 0x009


def test_inputs_the_world_drives_and_the_acknowledged_change_line(backplane, bus):
    valdor = boardhost.Board(bus, 0x25)
    backplane.command("select 2")
    valdor.inputs()  # whatever came before is acknowledged
    backplane.command("run 2ms")
    assert backplane.pin(17) == 1

    backplane.command("drive 13 low")  # input 2
    backplane.command("run 50ms")
    assert backplane.pin(17) == 0
    assert valdor.inputs() == 0x4
    backplane.command("run 2ms")
    assert backplane.pin(17) == 1

    backplane.command("drive 13 open")
    backplane.command("run 50ms")
    assert valdor.inputs() == 0x0


def test_analog_inputs_and_outputs(backplane, bus):
    valdor = boardhost.Board(bus, 0x25)
    backplane.command("select 2")
    backplane.command("adc 0 1234")
    backplane.command("adc 1 4095")
    backplane.command("run 50ms")
    assert valdor.analog_inputs() == [1234, 4095]
    assert valdor.analog_input(1) == 4095

    valdor.set_analog_output(0, 0)
    valdor.set_analog_output(1, 2048)
    backplane.command("run 2ms")
    assert backplane.command("dac") == ["dac A=0 B=2048"]
    assert valdor.analog_output_max == 4095


THERMO_CASES = [
    (1, "25", 25.0),
    (2, "open", boardhost.ThermoFault.OPEN_INPUT),
    (3, "frame=0x0C83", 100.0),  # bits 1 and 0 are not looked at
    (4, "frame=0x8000", boardhost.ThermoFault.OUT_OF_RANGE),
    (5, "330", boardhost.ThermoFault.OUT_OF_RANGE),
    (6, "100", 100.0),
    (7, "-1.5", 0.0),  # below zero reads as zero degrees
]


def test_thermocouple_temperatures_and_faults(backplane, bus):
    backplane.command("select 1")
    for channel, world, _ in THERMO_CASES:
        backplane.command("thermo %d %s" % (channel, world))
    backplane.command("run 600ms")
    quillet = boardhost.Board(bus, 0x26)
    readings = quillet.thermocouples()
    assert len(readings) == 8
    for channel, world, expected in THERMO_CASES:
        got = readings[channel - 1]
        assert type(got) is type(expected) and got == expected, (channel, world, got)
        assert quillet.thermocouple(channel) == expected
    assert boardhost.ThermoFault.OPEN_INPUT.description == "open input"


@pytest.fixture(scope="module")
def unplugged():
    """A valdor and a quillet opened on a backplane that then went away: any
    call that reaches the bus raises BusError."""
    served = Backplane(["valdor@2", "quillet@1"])
    served.command("run 300ms")
    bus = boardhost.connect_sim(served.socket)
    boards = {name: boardhost.Board(bus, a) for name, a in (("valdor", 0x25), ("quillet", 0x26))}
    served.close()
    with pytest.raises(boardhost.BusError):
        boards["valdor"].inputs()
    return boards


@pytest.mark.parametrize(
    "board,call,error,message",
    [
        ("valdor", lambda b: b.set_output(12, True), boardhost.UnsupportedError,
         "digital output 12 out of range 0..11 on board 0x25"),
        ("valdor", lambda b: b.set_output(-1, True), boardhost.UnsupportedError,
         "digital output -1 out of range 0..11 on board 0x25"),
        ("quillet", lambda b: b.set_output(9, False), boardhost.UnsupportedError,
         "digital output 9 out of range 0..8 on board 0x26"),
        ("valdor", lambda b: b.set_outputs(0x1000), boardhost.BadArgumentError,
         "mask 0x1000 has bits beyond the 12 outputs of board 0x25"),
        ("valdor", lambda b: b.set_outputs(0x10000), boardhost.BadArgumentError,
         "mask 65536 has bits beyond the 12 outputs of board 0x25"),
        ("valdor", lambda b: b.set_analog_output(0, 4096), boardhost.BadArgumentError,
         "analog value 4096 out of range 0..4095"),
        ("valdor", lambda b: b.set_analog_output(0, -1), boardhost.BadArgumentError,
         "analog value -1 out of range 0..4095"),
        ("valdor", lambda b: b.set_analog_output(2, 0), boardhost.UnsupportedError,
         "analog output 2 out of range 0..1 on board 0x25"),
        ("quillet", lambda b: b.set_analog_output(0, 0), boardhost.UnsupportedError,
         "board 0x26 has no analog outputs"),
        ("valdor", lambda b: b.analog_input(2), boardhost.UnsupportedError,
         "analog input 2 out of range 0..1 on board 0x25"),
        ("quillet", lambda b: b.thermocouple(0), boardhost.UnsupportedError,
         "thermocouple 0 out of range 1..8 on board 0x26"),
        ("quillet", lambda b: b.thermocouple(9), boardhost.UnsupportedError,
         "thermocouple 9 out of range 1..8 on board 0x26"),
        ("valdor", lambda b: b.thermocouples(), boardhost.UnsupportedError,
         "board 0x25 has no thermocouples"),
        ("quillet", lambda b: b.analog_inputs(), boardhost.UnsupportedError,
         "board 0x26 has no analog inputs"),
        ("valdor", lambda b: b.watch(interval=0), boardhost.BadArgumentError,
         "interval 0.0 out of range 0.001..60 seconds"),
        ("valdor", lambda b: b.watch(count=0), boardhost.BadArgumentError,
         "count 0 must be 1 or more"),
        ("valdor", lambda b: boardhost.Board(b.bus, 0x78), boardhost.BadArgumentError,
         "address 0x78 out of range 0x03..0x77"),
    ],
)
def test_bad_arguments_raise_before_anything_goes_on_the_bus(unplugged, board, call, error,
                                                             message):
    with pytest.raises(error) as e:
        call(unplugged[board])
    assert str(e.value) == message


def test_a_bus_that_cannot_be_reached_is_a_bus_error():
    with pytest.raises(boardhost.BusError) as e:
        boardhost.connect_sim("/nonexistent/bp.sock")
    assert "is boardsim --listen running?" in str(e.value)
    with pytest.raises(boardhost.BusError) as e:
        boardhost.open_bus("/dev/i2c-does-not-exist")
    assert "/dev/i2c-does-not-exist" in str(e.value)


def test_the_world_refuses_a_bad_command(bus):
    with pytest.raises(boardhost.BadArgumentError) as e:
        bus.command("watchdog kick")
    assert str(e.value).endswith("watchdog kick: only trigger")
