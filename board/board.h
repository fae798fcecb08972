// Task bodies and the interrupt callback of the shared board code.
#ifndef BOARD_BOARD_H
#define BOARD_BOARD_H

#include <cstdint>

// Shows the slot position on the onboard LED; the parameter is the BoardTask.
void ledOnboardTask(void* parameter);

// GPIO bank interrupt: hands an input edge to the board task as
// EV_GPIO_EDGE; does nothing else in interrupt context.
void gpioCallback(unsigned int gpio, uint32_t events);

#endif
