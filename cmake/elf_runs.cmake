# The images of this build, run instruction by instruction on the simulated
# chip: the target elf_runs builds the simulator for this machine beside the
# images (a host build of the same tree, in simulator/) and runs its tests
# of the .elf files.
#
#   cmake --workflow --preset rp2040-check

find_program(HOST_CXX NAMES g++ c++)
find_program(HOST_CC NAMES gcc cc)
if(NOT HOST_CXX OR NOT HOST_CC)
    message(FATAL_ERROR "Running the images needs a compiler for this machine (g++).")
endif()

# Random host scripts per image that the differential runner compares
# between the host modules and the .elf files (part of `ctest -L elf`).
set(DIFFERENTIAL_SEEDS 200 CACHE STRING "Scripts per image for the differential runner")

set(_sim_dir ${CMAKE_BINARY_DIR}/simulator)
add_custom_target(elf_runs
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${_sim_dir}
            -DBOARDS_TARGET=host -DCMAKE_BUILD_TYPE=Release -DBOARDS_SANITIZE=OFF
            -DCMAKE_C_COMPILER=${HOST_CC} -DCMAKE_CXX_COMPILER=${HOST_CXX}
            -DBOARDS_ELF_IMAGE_DIR=${CMAKE_BINARY_DIR}
            -DDIFFERENTIAL_SEEDS=${DIFFERENTIAL_SEEDS}
    COMMAND ${CMAKE_COMMAND} --build ${_sim_dir}
            --target elf_tests image_tests_elf boardsim elf_bench elf_report differential soak -j 2
    COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${_sim_dir} -L elf --output-on-failure -j 2
    # Stacks, clock stretch, latencies, load and heap of each image under host
    # traffic; fails when a task goes deeper than the image checks' bound.
    COMMAND ${_sim_dir}/tools/elf_report/elf_report ${CMAKE_BINARY_DIR}
            ${CMAKE_BINARY_DIR}/task_stacks.tsv ${BOARD_IMAGES}
    COMMENT "Running ${BOARD_IMAGES} on the simulated chip"
    USES_TERMINAL
    VERBATIM)
# The image checks write the static stack bounds the report compares with.
add_dependencies(elf_runs ${BOARD_IMAGES} image_checks)
