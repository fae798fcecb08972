"""What the checks know about the firmware and its dependencies that the
machine code alone does not say: the tasks and their stack depths, where the
calls through pointers can go, and the interrupt entry of the host link."""


class Task:
    def __init__(self, name, roots, words, images=None, via=None):
        self.name = name
        self.roots = roots  # the task body; several for one name are each checked
        self.words = words
        self.images = images  # None: every image
        self.via = via or {}  # indirect resolutions that hold for this task only


ALL_TASKS = [
    Task("MainTask", ["mainTask"], 256),
    Task("Watchdog-0", ["_watchdog0"], 256),
    Task("Watchdog-1", ["_watchdog1"], 256),
    Task("BoardTask", ["TaskAgent::__task"], 256,
         via={"TaskAgent::__task": ["BoardTask::run"]}),
    Task("StatusLEDs", ["ledStatusTask"], 256, images=["valdor"]),
    Task("OnboardLED", ["ledOnboardTask"], 256),
    Task("AnalogRead", ["aReadTask"], 256, images=["valdor"]),
    Task("Thermo", ["thermoTask"], 256, images=["quillet", "brennic"]),
    Task("TWI-Task", ["TaskAgent::__task"], 256, images=["valdor", "quillet"],
         via={"TaskAgent::__task": ["TwiTask::run"]}),
    # Runs every timer callback and the functions pended from interrupts.
    Task("Tmr Svc", ["prvTimerTask"], 1024),
    Task("IDLE0", ["prvIdleTask"], 256),
    Task("IDLE1", ["prvPassiveIdleTask"], 256),
]


def tasks_of(image):
    return [t for t in ALL_TASKS if t.images is None or image in t.images]


PRINTF_OUTPUT = [
    ("vfctprintf", ["_out_fct"]),
    ("weak_raw_vprintf", ["_out_char"]),
    (None, ["_out_buffer", "_out_null"]),  # the string forms (snprintf and so on)
]

# Calls through a pointer, by the function that makes them, and every function
# the pointer can hold. A target the image does not contain is left out; an
# indirect call found on a walked path and missing here fails the check.
INDIRECT_CALLS = {
    # The timer service task calls the timer's callback (all our timers share
    # TimerAgent's) or a function pended from an interrupt: the event-group
    # calls of the SDK's sleep support.
    "prvTimerTask": ["TimerAgent::__task", "vEventGroupSetBitsCallback",
                     "vEventGroupClearBitsCallback"],
    "TimerAgent::__task": ["HeartbeatTimer::run", "DebounceTimer::run"],
    # pico_printf writes through the output routine its entry point passes
    # down: printf and puts come through vfctprintf with the stdio layer's
    # buffered printer, panic messages through weak_raw_vprintf.
    "_vsnprintf": PRINTF_OUTPUT,
    "_out_rev": PRINTF_OUTPUT,
    "_etoa": PRINTF_OUTPUT,
    "_ftoa": PRINTF_OUTPUT,
    "_ntoa_format": PRINTF_OUTPUT,
    "_out_fct": ["stdio_buffered_printer"],
    "weak_raw_vprintf": ["_vsnprintf"],
    "stdio_out_chars_crlf": ["stdio_uart_out_chars", "stdio_usb_out_chars",
                             "stdio_semihosting_out_chars"],
    "__wrap_vprintf": ["stdio_uart_out_chars", "stdio_usb_out_chars", "stdio_usb_out_flush",
                       "stdio_semihosting_out_chars"],
    "__wrap_puts": ["stdio_uart_out_chars", "stdio_usb_out_chars", "stdio_usb_out_flush",
                    "stdio_semihosting_out_chars"],
    "stdio_flush": ["stdio_usb_out_flush"],
    # pico_time: an alarm already due runs its callback at once; the alarm
    # heap compares through its comparator.
    "alarm_pool_add_alarm_at": ["sleep_until_callback"],
    "ph_merge_nodes": ["timer_pool_entry_comparator"],
    "ph_merge_two_pass": ["timer_pool_entry_comparator"],
    # The SDK's I2C slave interrupt calls the handler registered with
    # i2c_slave_init; the host link's own interrupt entry hands on to it.
    "i2c_slave_irq_handler": ["_twiHandler"],
    "_twiIrq": ["i2c_slave_irq_handler"],
}

# Indirect calls where the stdio layer has no driver to call in this image are
# not faults: the loop over drivers finds none.
MAY_HAVE_NO_TARGET = {"stdio_out_chars_crlf", "__wrap_vprintf", "__wrap_puts", "stdio_flush"}

# Calls the code holds that a task never makes, with the reason.
NOT_IN_TASKS = {
    ("xPortLockInternalSpinUnlockWithBestEffortWaitOrTimeout", "best_effort_wfe_or_timeout"):
        "the RP2040 port waits this way only on a core without the scheduler, and a task "
        "runs only once the scheduler runs on both cores",
}

# Recursion: how many calls of a group of functions one call chain can hold.
RECURSION_LIMITS = {
    # Fixed-point and exponent formatting call each other once at most: _ftoa
    # hands a large finite value to _etoa, which formats its mantissa (below 10)
    # with _ftoa; _etoa gives only NaN and infinities to _ftoa, which does not
    # come back.
    ("_ftoa", "_etoa"): 3,
    # pico_util's pairing heap merges two siblings per level; the default alarm
    # pool holds 16 alarms, so a child list has 15 nodes at most.
    ("ph_merge_two_pass",): 8,
}

# Function tables the SDK fills from the bootrom at start-up: a jump through
# one of them lands in ROM.
ROM_TABLES = {"aeabi_mem_funcs", "aeabi_bits_funcs", "sd_table", "sf_table", "sf_clz_func"}

# Stack allowed for one bootrom routine (memory, bit and floating-point
# helpers: hand-written leaf code). An allowance, not a measurement: the
# bootrom is not part of the build.
ROM_FRAME_BYTES = 64

# The I2C interrupt: the host link's entry, the SDK's slave layer it hands
# on to, the handler that calls.
I2C_ROOTS = ["_twiIrq", "i2c_slave_irq_handler", "_twiHandler"]
I2C_HANDLER = "_twiHandler"

MARGIN = 0.20  # a task must keep this share of its stack unused
