# Conformance of the chip's pin-level blocks (GPIO, SPI, ADC, PWM, watchdog,
# alarms and sleep), the SDK layer on them and the devices on the pins.

# A firmware image of its own for the loader: statics that must come back
# fresh after a reset. Linked as the board images are.
add_library(sim_test_image MODULE ${CMAKE_CURRENT_LIST_DIR}/test_image.cpp)
set_target_properties(sim_test_image PROPERTIES PREFIX "")
target_include_directories(sim_test_image PRIVATE ${FIRMWARE_INCLUDE_DIRS})
target_link_libraries(sim_test_image PRIVATE simplatform)
target_link_options(sim_test_image PRIVATE -Wl,-z,defs -Wl,-Bsymbolic
                    -Wl,--wrap=printf -Wl,--wrap=puts -Wl,--wrap=putchar -Wl,--wrap=vprintf
                    -Wl,--wrap=__cxa_atexit)

add_executable(chip_tests
    ${CMAKE_CURRENT_LIST_DIR}/adc_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dac_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/firmware_image_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gpio_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pwm_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sleep_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spi_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stdio_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sync_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thermocouple_bank_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_polling_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/watchdog_test.cpp)
target_link_libraries(chip_tests PRIVATE simplatform GTest::gtest_main)
target_compile_definitions(chip_tests PRIVATE SIM_TEST_IMAGE="$<TARGET_FILE:sim_test_image>")
add_dependencies(chip_tests sim_test_image)
gtest_discover_tests(chip_tests DISCOVERY_TIMEOUT 60)
