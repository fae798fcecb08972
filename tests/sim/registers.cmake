# Register-level conformance of the chip's blocks as the bus fabric reaches
# them: one file per block (the I2C block's joins i2c_tests).
file(GLOB register_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_registers_test.cpp)
list(FILTER register_tests EXCLUDE REGEX "/i2c_[^/]*$")
add_executable(register_tests ${register_tests})
target_link_libraries(register_tests PRIVATE simplatform GTest::gtest_main)
gtest_discover_tests(register_tests DISCOVERY_TIMEOUT 60)
