# The real images: one executable per entry of BOARD_IMAGES, built from the
# source list <IMAGE>_SOURCES of firmware_sources.cmake, against the Pico SDK
# and the FreeRTOS-Kernel SMP port found by rp2040_sdk.cmake.

pico_sdk_init()

# The RTOS port takes FreeRTOSConfig.h from here. The SDK is initialised
# already, so the port defines its libraries at once.
set(FREERTOS_CONFIG_FILE_DIRECTORY ${CMAKE_SOURCE_DIR}/app)
add_subdirectory(${FREERTOS_KERNEL_RP2040_PORT_DIR} ${CMAKE_BINARY_DIR}/FreeRTOS-Kernel)

set(RP2040_IMAGE_LIBRARIES
    FreeRTOS-Kernel
    FreeRTOS-Kernel-Heap3
    pico_stdlib
    hardware_gpio
    hardware_irq
    hardware_adc
    hardware_spi
    hardware_i2c
    hardware_pwm
    hardware_watchdog
    pico_sync
    pico_i2c_slave
    pico_multicore)

# Our own files must build without a warning. The SDK and the kernel compile
# their sources into each image too, so -Werror goes on our files only: a
# warning in a dependency is reported but cannot break the build.
set(RP2040_WARNINGS -Wall -Wextra)
set(RP2040_OWN_WARNINGS_AS_ERRORS -Werror)

# SDK settings of every image (and of the bare image the checks compare with).
# - The memory-copy wrappers run from RAM: the I2C interrupt copies each host
#   write record with memcpy.
# - printf formats no floating point: no message has a float, and the
#   conversions alone took 376 bytes of a printing task's 1 KB stack.
# - A failed allocation returns null instead of stopping the core in the SDK's
#   panic: creation results then reach requireCreated, which resets the chip
#   (before the watchdog runs, a panic would halt the board for good), and
#   panic's formatting no longer sits under every allocation on MainTask's
#   stack, which also holds the board object.
set(RP2040_SDK_DEFINITIONS PICO_MEM_IN_RAM=1 PICO_PRINTF_SUPPORT_FLOAT=0 PICO_MALLOC_PANIC=0)

# The I2C interrupt's task notification and the kernel and port functions it
# calls go to RAM beside the handler (rp2040_isr_ram/ says how).
set_property(SOURCE ${FREERTOS_KERNEL_PATH}/tasks.c APPEND PROPERTY COMPILE_OPTIONS
             -include ${CMAKE_CURRENT_LIST_DIR}/rp2040_isr_ram/tasks_c.h)
set_property(SOURCE ${FREERTOS_KERNEL_RP2040_PORT_DIR}/port.c APPEND PROPERTY COMPILE_OPTIONS
             -include ${CMAKE_CURRENT_LIST_DIR}/rp2040_isr_ram/port_c.h)

# add_rp2040_image(<name> <sources>...): one image with the common libraries,
# no console driver and <name> as its program name. An optional
# <NAME>_INCLUDE_DIRS list adds include directories for that image alone.
function(add_rp2040_image name)
    set(sources ${ARGN})
    string(TOUPPER ${name} upper)

    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${${upper}_INCLUDE_DIRS} ${FIRMWARE_INCLUDE_DIRS})
    target_link_libraries(${name} PRIVATE ${RP2040_IMAGE_LIBRARIES})
    target_compile_definitions(${name} PRIVATE ${RP2040_SDK_DEFINITIONS})
    # For the worst-case stack check, beside every object (ours, the SDK's and
    # the kernel's): -fstack-usage leaves the frame sizes (.su), and
    # -fcallgraph-info=su the same under the names the linker uses (.ci).
    # The code is unchanged.
    target_compile_options(${name} PRIVATE ${RP2040_WARNINGS} -fstack-usage
                           -fcallgraph-info=su)
    set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS
                                "${RP2040_OWN_WARNINGS_AS_ERRORS}")

    # Messages are formatted and dropped: the boards have no console.
    pico_enable_stdio_uart(${name} 0)
    pico_enable_stdio_usb(${name} 0)
    pico_enable_stdio_semihosting(${name} 0)

    # Binary information: the program name plus the SDK's standard entries.
    pico_set_program_name(${name} "${name}")

    # .elf.map comes with the SDK's standard link; this adds .uf2, .hex,
    # .bin and .dis.
    pico_add_extra_outputs(${name})
endfunction()

foreach(image IN LISTS BOARD_IMAGES)
    string(TOUPPER ${image} upper)
    if(NOT ${upper}_SOURCES)
        message(FATAL_ERROR "firmware_sources.cmake lists no ${upper}_SOURCES for ${image}.")
    endif()
    add_rp2040_image(${image} ${${upper}_SOURCES})
endforeach()

# brennic's test line needs a reader: its console is UART0 on GPIO0 (TX) and
# GPIO1 (RX) at 115200 baud, pins the test build does not use. stdio_init_all
# installs the driver.
pico_enable_stdio_uart(brennic 1)
target_compile_definitions(brennic PRIVATE PICO_DEFAULT_UART=0 PICO_DEFAULT_UART_TX_PIN=0
                           PICO_DEFAULT_UART_RX_PIN=1 PICO_DEFAULT_UART_BAUD_RATE=115200)
# The binary information carries the SDK's standard entries only, so the
# console driver adds neither its pins nor its feature line.
set_property(SOURCE ${PICO_SDK_PATH}/src/rp2_common/pico_stdio_uart/stdio_uart.c APPEND
             PROPERTY COMPILE_DEFINITIONS PICO_NO_BINARY_INFO=1)

include(${CMAKE_SOURCE_DIR}/tools/image_checks/image_checks.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/elf_runs.cmake)
