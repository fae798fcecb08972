# Finds the Pico SDK and the FreeRTOS-Kernel for the rp2040 build. Included
# before project(), because the SDK picks the cross toolchain.
#
# Both come from outside the tree, by the usual convention of Pico projects:
# -DPICO_SDK_PATH=... / -DFREERTOS_KERNEL_PATH=... or the environment
# variables of the same names. Nothing is ever fetched.

set(_PICO_SDK_PATH_what "the Pico SDK 1.5.1 checkout")
set(_FREERTOS_KERNEL_PATH_what "the FreeRTOS-Kernel checkout")
foreach(_dep PICO_SDK_PATH FREERTOS_KERNEL_PATH)
    if(NOT ${_dep} AND DEFINED ENV{${_dep}})
        set(${_dep} "$ENV{${_dep}}")
    endif()
    if(NOT ${_dep})
        list(APPEND _missing "${_dep} to ${_${_dep}_what}")
    endif()
endforeach()
if(_missing)
    list(JOIN _missing " and " _missing)
    message(FATAL_ERROR
        "Set ${_missing} (in the environment or with -D) to build the rp2040 images.")
endif()

get_filename_component(PICO_SDK_PATH "${PICO_SDK_PATH}" ABSOLUTE)
get_filename_component(FREERTOS_KERNEL_PATH "${FREERTOS_KERNEL_PATH}" ABSOLUTE)
set(FREERTOS_KERNEL_RP2040_PORT_DIR ${FREERTOS_KERNEL_PATH}/portable/ThirdParty/GCC/RP2040)

if(NOT EXISTS ${PICO_SDK_PATH}/external/pico_sdk_import.cmake)
    message(FATAL_ERROR "PICO_SDK_PATH (${PICO_SDK_PATH}) is not a Pico SDK checkout.")
endif()
if(NOT EXISTS ${FREERTOS_KERNEL_RP2040_PORT_DIR}/library.cmake
   OR NOT EXISTS ${FREERTOS_KERNEL_PATH}/include/task.h)
    message(FATAL_ERROR
        "FREERTOS_KERNEL_PATH (${FREERTOS_KERNEL_PATH}) is not a FreeRTOS-Kernel checkout "
        "with the RP2040 port.")
endif()

# FreeRTOSConfig.h speaks the SMP configuration of kernel 11 (configNUMBER_OF_CORES).
file(STRINGS ${FREERTOS_KERNEL_PATH}/include/task.h _kernel_major
     REGEX "^#define tskKERNEL_VERSION_MAJOR")
string(REGEX MATCH "[0-9]+" _kernel_major "${_kernel_major}")
if(NOT _kernel_major OR _kernel_major LESS 11)
    message(FATAL_ERROR
        "FREERTOS_KERNEL_PATH (${FREERTOS_KERNEL_PATH}) holds kernel ${_kernel_major}, "
        "but the images need FreeRTOS-Kernel 11 or later for its SMP scheduler.")
endif()

set(PICO_SDK_PATH ${PICO_SDK_PATH} CACHE PATH "Pico SDK 1.5.1 checkout")
set(FREERTOS_KERNEL_PATH ${FREERTOS_KERNEL_PATH} CACHE PATH "FreeRTOS-Kernel checkout")

include(${PICO_SDK_PATH}/external/pico_sdk_import.cmake)

# The images carry the SDK version in their binary information, and they
# are defined against 1.5.1.
if(NOT PICO_SDK_VERSION_STRING VERSION_EQUAL "1.5.1")
    message(FATAL_ERROR
        "PICO_SDK_PATH (${PICO_SDK_PATH}) holds SDK ${PICO_SDK_VERSION_STRING}, "
        "but the images are built against 1.5.1.")
endif()
