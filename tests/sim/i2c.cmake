# Conformance of the I2C path: the I2C block with the bus and the host master,
# and the SDK's slave layer on a simulated chip.
file(GLOB i2c_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/i2c_*_test.cpp)
add_executable(i2c_tests ${i2c_tests})
target_link_libraries(i2c_tests PRIVATE simplatform GTest::gtest_main)
gtest_discover_tests(i2c_tests DISCOVERY_TIMEOUT 60)
