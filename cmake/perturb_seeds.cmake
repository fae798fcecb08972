# The seeds the perturbed test runs use (sim/kernel/perturbation.h).
#
# BOARDS_CI_PERTURB_SEEDS: what CI runs, chosen to fit its time. More at
# configure time with BOARDS_PERTURB_SEEDS, in the environment or as a cache
# variable: a count N (seeds 1..N) or a list ("5,17,40" or "5;17;40").
set(BOARDS_CI_PERTURB_SEEDS 1 2 3)

if(NOT DEFINED BOARDS_PERTURB_SEEDS AND DEFINED ENV{BOARDS_PERTURB_SEEDS})
    set(BOARDS_PERTURB_SEEDS "$ENV{BOARDS_PERTURB_SEEDS}")
endif()
set(BOARDS_PERTURB_SEEDS "${BOARDS_PERTURB_SEEDS}" CACHE STRING
    "Seeds of the perturbed image test runs: a count N (1..N) or a list; empty for the CI seeds")

if(BOARDS_PERTURB_SEEDS STREQUAL "")
    set(BOARDS_PERTURB_SEED_LIST ${BOARDS_CI_PERTURB_SEEDS})
elseif(BOARDS_PERTURB_SEEDS MATCHES "^[0-9]+$")
    set(BOARDS_PERTURB_SEED_LIST "")
    if(BOARDS_PERTURB_SEEDS GREATER 0)
        foreach(seed RANGE 1 ${BOARDS_PERTURB_SEEDS})
            list(APPEND BOARDS_PERTURB_SEED_LIST ${seed})
        endforeach()
    endif()
else()
    string(REPLACE "," ";" BOARDS_PERTURB_SEED_LIST "${BOARDS_PERTURB_SEEDS}")
endif()
