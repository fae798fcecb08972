# The seeds the perturbed test runs use (sim/engine/perturbation.h).
#
# BOARDS_CI_PERTURB_SEEDS: what CI runs, chosen to fit its time. More at
# configure time with BOARDS_PERTURB_SEEDS, in the environment or as a cache
# variable: a count N (seeds 1..N) or a list ("5,17,40" or "5;17;40").
set(BOARDS_CI_PERTURB_SEEDS 1 2 3)

# The environment wins over the cache, so that one configure can ask for
# more without leaving them behind for the next.
set(_seeds "${BOARDS_PERTURB_SEEDS}")
if(DEFINED ENV{BOARDS_PERTURB_SEEDS})
    set(_seeds "$ENV{BOARDS_PERTURB_SEEDS}")
endif()

if(_seeds STREQUAL "")
    set(BOARDS_PERTURB_SEED_LIST ${BOARDS_CI_PERTURB_SEEDS})
elseif(_seeds MATCHES "^[0-9]+$")
    set(BOARDS_PERTURB_SEED_LIST "")
    if(_seeds GREATER 0)
        foreach(seed RANGE 1 ${_seeds})
            list(APPEND BOARDS_PERTURB_SEED_LIST ${seed})
        endforeach()
    endif()
else()
    string(REPLACE "," ";" BOARDS_PERTURB_SEED_LIST "${_seeds}")
endif()
