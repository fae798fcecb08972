# Runs boardsim on one script and compares all it prints with the expected
# text. Called by CTest with BOARDSIM, SCRIPT, EXPECTED, EXIT_STATUS and
# BOARDS (separated by spaces).
separate_arguments(boards UNIX_COMMAND "${BOARDS}")
execute_process(COMMAND ${BOARDSIM} --script ${SCRIPT} ${boards}
                OUTPUT_VARIABLE output ERROR_VARIABLE output
                RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT output STREQUAL expected)
    message(FATAL_ERROR "boardsim printed something else.\n--- expected\n${expected}--- printed\n${output}---")
endif()
if(NOT status STREQUAL EXIT_STATUS)
    message(FATAL_ERROR "boardsim ended with ${status}, expected ${EXIT_STATUS}")
endif()
