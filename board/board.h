// Task bodies of the shared board code.
#ifndef BOARD_BOARD_H
#define BOARD_BOARD_H

// Shows the slot position on the onboard LED; the parameter is the BoardTask.
void ledOnboardTask(void* parameter);

#endif
