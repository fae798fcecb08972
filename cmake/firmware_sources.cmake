# The firmware sources of each image, relative to the repository root. The
# same files build for the RP2040 and for the simulated board; nothing in
# them knows which.
#
# Shared code is written once. What an image does in its own way lives in
# boards/<image>/: its sources, and its include directory <IMAGE>_INCLUDE_DIRS
# with board_image.h (constants the shared code reads) and
# board_task_members.h (its own members of BoardTask).
get_filename_component(_FIRMWARE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

set(FIRMWARE_INCLUDE_DIRS
    ${_FIRMWARE_ROOT}/app
    ${_FIRMWARE_ROOT})

# Pure logic: standard library only, also linked by the unit tests.
set(FIRMWARE_PURE_SOURCES
    twi/regs.cpp
    board/slot.cpp
    board/onboard_blink.cpp)

set(FIRMWARE_COMMON_SOURCES
    ${FIRMWARE_PURE_SOURCES}
    app/main.cpp
    agents/creation_check.cpp
    agents/task_agent.cpp
    agents/timer_agent.cpp
    agents/watchdog.cpp
    agents/heartbeat_timer.cpp
    twi/regs_lock.cpp
    board/board_task.cpp
    board/board.cpp)

# The I2C slave link to the host; brennic leaves it out.
set(FIRMWARE_HOST_LINK_SOURCES
    twi/twi_handler.cpp
    twi/twi_task.cpp)

# The thermocouple converters of quillet and brennic: select lines, reader,
# scanning task and the SPI set-up. Each image adds its demux_lines.cpp.
set(FIRMWARE_THERMO_SOURCES
    boards/quillet/converter_spi.cpp
    boards/quillet/demux.cpp
    boards/quillet/thermo.cpp
    boards/quillet/thermo_task.cpp)

set(VALDOR_SOURCES
    ${FIRMWARE_COMMON_SOURCES}
    ${FIRMWARE_HOST_LINK_SOURCES}
    app/main_task.cpp
    agents/debounce_timer.cpp
    board/digital_inputs.cpp
    boards/valdor/board_task.cpp
    boards/valdor/descriptor.cpp
    boards/valdor/dac.cpp
    boards/valdor/fading_ramp.cpp
    boards/valdor/status_leds.cpp
    boards/valdor/analog_read.cpp)
set(VALDOR_INCLUDE_DIRS ${_FIRMWARE_ROOT}/boards/valdor/include)

set(QUILLET_SOURCES
    ${FIRMWARE_COMMON_SOURCES}
    ${FIRMWARE_HOST_LINK_SOURCES}
    ${FIRMWARE_THERMO_SOURCES}
    app/main_task.cpp
    agents/debounce_timer.cpp
    board/digital_inputs.cpp
    boards/quillet/board_task.cpp
    boards/quillet/demux_lines.cpp
    boards/quillet/descriptor.cpp)
set(QUILLET_INCLUDE_DIRS ${_FIRMWARE_ROOT}/boards/quillet/include)

# brennic has its own mainTask, no debounce timer, its own select lines, and
# no host link (boards/brennic/host_link.cpp says why).
set(BRENNIC_SOURCES
    ${FIRMWARE_COMMON_SOURCES}
    ${FIRMWARE_THERMO_SOURCES}
    boards/brennic/main_task.cpp
    boards/brennic/board_task.cpp
    boards/brennic/demux_lines.cpp
    boards/brennic/host_link.cpp)
set(BRENNIC_INCLUDE_DIRS ${_FIRMWARE_ROOT}/boards/brennic/include)

set(BOARD_IMAGES valdor quillet brennic)
