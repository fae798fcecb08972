# The host build: the platform that simulates the chip and its world, the
# images as loadable modules, the tools and the tests.
option(BOARDS_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_compile_options(-Wall -Wextra -Werror)
if(BOARDS_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

add_subdirectory(sim)

# One loadable module per image: every power-on of a simulated chip loads a
# fresh copy, so the firmware's static data starts as on silicon. printf and
# friends are wrapped as the SDK does on the target, so the chip captures them;
# static destructors are never registered, as the chip never runs them.
function(board_image name)
    add_library(${name} MODULE ${ARGN})
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME "${name}"
                          LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/images)
    string(TOUPPER ${name} upper)
    target_include_directories(${name} PRIVATE ${FIRMWARE_INCLUDE_DIRS} ${${upper}_INCLUDE_DIRS})
    target_link_libraries(${name} PRIVATE simplatform)
    # A unique global (an inline variable in a header) would bind every later
    # copy to the first copy's object and keep that copy from ever unloading,
    # so its /proc/self/fd path could come back naming the wrong image.
    target_compile_options(${name} PRIVATE -fno-gnu-unique)
    target_link_options(${name} PRIVATE -Wl,-z,defs -Wl,-Bsymbolic
                        -Wl,--wrap=printf -Wl,--wrap=puts -Wl,--wrap=putchar -Wl,--wrap=vprintf
                        -Wl,--wrap=__cxa_atexit)
endfunction()

foreach(image ${BOARD_IMAGES})
    string(TOUPPER ${image} upper)
    list(TRANSFORM ${upper}_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE image_sources)
    board_image(${image} ${image_sources})
endforeach()

# host_enable_stdio_uart(<image> <0|1>): as pico_enable_stdio_uart on the
# target, links the UART console driver into the image; stdio_init_all then
# sets up UART0 on the default pins (PICO_DEFAULT_UART_* of the image).
function(host_enable_stdio_uart name enabled)
    if(enabled)
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/sim/stdio_uart/stdio_uart.cpp)
    endif()
endfunction()

# brennic's build prints its test line on UART0 (rp2040_images.cmake).
host_enable_stdio_uart(brennic 1)
target_compile_definitions(brennic PRIVATE PICO_DEFAULT_UART_TX_PIN=0 PICO_DEFAULT_UART_RX_PIN=1
                           PICO_DEFAULT_UART_BAUD_RATE=115200)

# The host controller's library, before the tools and tests that use it.
add_subdirectory(host)

foreach(dir tools python tests)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
        add_subdirectory(${dir})
    endif()
endforeach()
