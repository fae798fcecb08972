# The firmware sources of each image. The same files build for the RP2040 and
# for the simulated board; nothing in them knows which.
set(FIRMWARE_INCLUDE_DIRS
    ${CMAKE_SOURCE_DIR}/app
    ${CMAKE_SOURCE_DIR})

set(FIRMWARE_COMMON_SOURCES
    app/main.cpp)

set(VALDOR_SOURCES ${FIRMWARE_COMMON_SOURCES})
set(QUILLET_SOURCES ${FIRMWARE_COMMON_SOURCES})
set(BRENNIC_SOURCES ${FIRMWARE_COMMON_SOURCES})

set(BOARD_IMAGES valdor quillet brennic)
