// brennic has no host link. Its converter-select lines A1 and A2 are GPIO20
// and GPIO21, the I2C0 pins of the backplane link: an I2C slave set up there
// would answer until the thermocouple task takes the pins for the select
// pattern and then go deaf, or drive the bus lines with select levels. So
// this build sets up no I2C pins, no controller and no TWI-Task: a host sees
// no board at brennic's address from power-on on, and the test line on the
// console is the build's output. The board must therefore not sit on a
// shared backplane bus. Nothing is printed about it at start-up: the console
// is the test line's.
#include "board/board_task.h"
#include "twi/twi.h"

void twiInit(BoardTask*) {}

// Nothing to start: there is no link to serve.
bool TwiTask::start(uint8_t) {
    return true;
}

void TwiTask::run(void*) {}
