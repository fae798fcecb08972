# boardsim --perturb: two runs with one seed print the same trace, byte for
# byte, and a run with another seed prints another. Called by CTest with
# BOARDSIM and SCRIPT.
foreach(run first second other)
    set(seed 3)
    if(run STREQUAL "other")
        set(seed 4)
    endif()
    execute_process(COMMAND ${BOARDSIM} --trace --perturb ${seed} --script ${SCRIPT} valdor@2
                    OUTPUT_VARIABLE ${run} ERROR_VARIABLE ${run} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "boardsim --perturb ${seed} ended with ${status}:\n${${run}}")
    endif()
endforeach()
string(LENGTH "${first}" length)
if(length LESS 1000)
    message(FATAL_ERROR "the trace is too short to tell schedules apart:\n${first}")
endif()
if(NOT first STREQUAL second)
    message(FATAL_ERROR "the same seed gave two different traces")
endif()
if(first STREQUAL other)
    message(FATAL_ERROR "seeds 3 and 4 gave the same trace")
endif()
