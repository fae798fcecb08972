// The two status LEDs on GPIO0 (host lost) and GPIO1 (start-up), faded by
// PWM slice 0 while the board has no working host link.
#ifndef BOARDS_VALDOR_STATUS_LEDS_H
#define BOARDS_VALDOR_STATUS_LEDS_H

// Task body; the parameter is the BoardTask. The fading mode arrives as the
// task's notification value (a LedFadingState).
void ledStatusTask(void* parameter);

#endif
