// Compiled per image with that image's include directories and definitions,
// never linked: the image checks read sizeof(BoardTask) from this object, to
// weigh the board object against MainTask's stack, which holds it.
#include <cstdint>

#include "board/board_task.h"

extern const uint32_t imageCheckBoardTaskSize;
const uint32_t imageCheckBoardTaskSize = sizeof(BoardTask);
