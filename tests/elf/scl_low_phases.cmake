# Draws a boardsim session on a real image as a VCD and checks SCL's low
# phases in it: none longer than LONGEST ns.
execute_process(COMMAND ${BOARDSIM} --bus-hz ${HZ} --vcd ${VCD} --script ${SCRIPT} ${IMAGE}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "boardsim ended with ${status}")
endif()
execute_process(COMMAND ${PYTHON} ${CHECK} --longest-at-most ${LONGEST} ${VCD}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "SCL was held past the master's low phase (${LONGEST} ns)")
endif()
