# Runs the demo script with --vcd; the file must stay under 1 MB, cover the
# whole run, and decode (sigrok-cli's I2C decoder) to one STOP per transfer
# the script makes.
execute_process(COMMAND ${BOARDSIM} --vcd ${VCD} --script ${SCRIPT} valdor@2
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "boardsim exited with ${status}")
endif()

file(SIZE ${VCD} size)
if(size GREATER_EQUAL 1000000)
    message(FATAL_ERROR "the demo's VCD has ${size} bytes, not under 1 MB")
endif()
file(STRINGS ${VCD} last REGEX "^#[0-9]+$")
list(GET last -1 end)
# The script runs 100 + 20 + 2 + 2 + 20 + 2 + 50 + 600 ms plus its transfers.
if(NOT end MATCHES "^#8[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]$")
    message(FATAL_ERROR "the VCD ends at ${end} ns, not after the script's 796 ms")
endif()

execute_process(COMMAND ${SIGROK_CLI} -I vcd:downsample=500 -i ${VCD}
                        -P i2c:scl=bus.scl:sda=bus.sda -A i2c=start:stop
                OUTPUT_VARIABLE decoded RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "sigrok-cli (${SIGROK_CLI}) failed (${status}): ${errors}")
endif()
string(REGEX MATCHALL "Stop" stops "${decoded}")
list(LENGTH stops stopCount)
file(STRINGS ${SCRIPT} transfers REGEX "^i2c ")
list(LENGTH transfers transferCount)
if(NOT stopCount EQUAL transferCount OR transferCount EQUAL 0)
    message(FATAL_ERROR "${stopCount} STOPs decoded for ${transferCount} transfers:\n${decoded}")
endif()
message(STATUS "demo VCD: ${size} bytes, ${stopCount} transfers decoded")
