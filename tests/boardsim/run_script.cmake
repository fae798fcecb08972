# Runs boardsim on one script and compares what it prints (output and errors,
# in order) with the expected text. A ".expected" file must match exactly; a
# ".lines" file lists lines that must all appear, in that order, among
# others. Called by CTest with BOARDSIM, SCRIPT, EXPECTED, EXIT_STATUS and
# ARGS (boardsim's arguments besides the script, separated by spaces).
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${BOARDSIM} --script ${SCRIPT} ${args}
                OUTPUT_VARIABLE output ERROR_VARIABLE output
                RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(EXPECTED MATCHES "\\.lines$")
    string(REPLACE "\n" ";" wanted "${expected}")
    set(rest "${output}")
    foreach(line IN LISTS wanted)
        if(line STREQUAL "")
            continue()
        endif()
        string(FIND "${rest}" "${line}\n" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "boardsim did not print, in its place:\n${line}\n--- printed\n${output}---")
        endif()
        string(LENGTH "${line}" length)
        math(EXPR at "${at} + ${length}")
        string(SUBSTRING "${rest}" ${at} -1 rest)
    endforeach()
elseif(NOT output STREQUAL expected)
    message(FATAL_ERROR "boardsim printed something else.\n--- expected\n${expected}--- printed\n${output}---")
endif()
if(NOT status STREQUAL EXIT_STATUS)
    message(FATAL_ERROR "boardsim ended with ${status}, expected ${EXIT_STATUS}")
endif()
