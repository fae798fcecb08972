# The image checks of the rp2040 build (check_images.py says what they
# show): the target image_checks runs them over every image, against a bare
# image of the same SDK and kernel.
#
#   cmake --workflow --preset rp2040-check

find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
    message(FATAL_ERROR "The image checks need Python 3 (python3) on the PATH.")
endif()
string(REGEX REPLACE "objdump$" "c++filt" RP2040_CXXFILT "${CMAKE_OBJDUMP}")
if(NOT CMAKE_OBJDUMP OR NOT EXISTS "${RP2040_CXXFILT}")
    message(FATAL_ERROR
        "The image checks need arm-none-eabi-objdump and arm-none-eabi-c++filt "
        "(binutils-arm-none-eabi) beside the compiler.")
endif()

set(_checks_dir ${CMAKE_CURRENT_LIST_DIR})

# The scheduler and nothing else, built and configured like the images. It
# and the measuring objects below are built for the checks only.
add_executable(image_check_bare EXCLUDE_FROM_ALL ${_checks_dir}/bare_main.cpp)
target_link_libraries(image_check_bare PRIVATE ${RP2040_IMAGE_LIBRARIES})
target_compile_definitions(image_check_bare PRIVATE ${RP2040_SDK_DEFINITIONS})
pico_enable_stdio_uart(image_check_bare 0)
pico_enable_stdio_usb(image_check_bare 0)
pico_enable_stdio_semihosting(image_check_bare 0)

set(_board_size_args)
set(_check_depends image_check_bare)
foreach(image IN LISTS BOARD_IMAGES)
    # sizeof(BoardTask) as the image compiles it: same includes and definitions.
    add_library(${image}_board_size OBJECT EXCLUDE_FROM_ALL ${_checks_dir}/board_object_size.cpp)
    target_include_directories(${image}_board_size PRIVATE
                               $<TARGET_PROPERTY:${image},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${image}_board_size PRIVATE
                               $<TARGET_PROPERTY:${image},COMPILE_DEFINITIONS>)
    list(APPEND _board_size_args "--board-size=${image}=$<TARGET_OBJECTS:${image}_board_size>")
    list(APPEND _check_depends ${image} ${image}_board_size)
endforeach()

add_custom_target(image_checks
    COMMAND ${Python3_EXECUTABLE} -B ${_checks_dir}/check_images.py
            --build-dir ${CMAKE_BINARY_DIR}
            --objdump ${CMAKE_OBJDUMP}
            --cxxfilt ${RP2040_CXXFILT}
            --bare $<TARGET_FILE:image_check_bare>
            --stack-file ${CMAKE_BINARY_DIR}/task_stacks.tsv
            ${_board_size_args}
            ${BOARD_IMAGES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    BYPRODUCTS ${CMAKE_BINARY_DIR}/task_stacks.tsv
    COMMENT "Checking the images ${BOARD_IMAGES}"
    VERBATIM)
add_dependencies(image_checks ${_check_depends})
