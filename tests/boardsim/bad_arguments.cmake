# boardsim given arguments it cannot use: each case must end with exit
# status 2 and exactly one line on the error output, naming boardsim.
# Called by CTest with BOARDSIM and SCRIPT (a script that exists).
set(cases
    "--bogus valdor"
    "valdor@9"
    "valdor@raw=x"
    "valdor@raw=5000"
    "valdor@2 quillet@2"
    "--script"
    "--script /nonexistent/script.bsim valdor"
    "nosuchimage"
    "/nonexistent/valdor.elf"
    "--perturb"
    "--perturb -1 valdor"
    "--perturb seven valdor"
    "--perturb 9223372036854775808 valdor"
    "--perturb 0x8000000000000000 valdor"
    "--perturb 99999999999999999999999 valdor"
    "--script / valdor"
    "")
function(expect_usage_error)
    execute_process(COMMAND ${BOARDSIM} ${ARGN}
                    INPUT_FILE ${SCRIPT}
                    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
    string(REGEX MATCHALL "\n" newlines "${err}")
    list(LENGTH newlines lines)
    if(NOT status EQUAL 2 OR NOT lines EQUAL 1 OR NOT err MATCHES "^boardsim: ")
        message(FATAL_ERROR "boardsim ${ARGN}: status ${status}, error output:\n${err}")
    endif()
endfunction()
foreach(case IN LISTS cases)
    separate_arguments(args UNIX_COMMAND "${case}")
    expect_usage_error(${args})
endforeach()
# An empty word does not survive a list.
expect_usage_error(--listen "" valdor)
expect_usage_error(--script "" valdor)
# A binary that cannot be used: its path is named once.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/empty.elf "")
execute_process(COMMAND ${BOARDSIM} ${CMAKE_CURRENT_BINARY_DIR}/empty.elf
                INPUT_FILE ${SCRIPT} ERROR_VARIABLE err RESULT_VARIABLE status)
string(REGEX MATCHALL "empty\\.elf" named "${err}")
list(LENGTH named times)
if(NOT status EQUAL 2 OR NOT times EQUAL 1)
    message(FATAL_ERROR "boardsim empty.elf: status ${status}, error output:\n${err}")
endif()
