// The first task of every image: it owns the board object for the life of
// the firmware.
#ifndef APP_MAIN_TASK_H
#define APP_MAIN_TASK_H

void mainTask(void* parameter);

#endif
