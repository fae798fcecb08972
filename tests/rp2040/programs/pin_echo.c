/* Core 0 copies pin 5 to pin 6 through the SIO as fast as it can. */
#include "chip.h"

int main(void) {
    IO_GPIO_CTRL(5) = FUNC_SIO;
    IO_GPIO_CTRL(6) = FUNC_SIO;
    SIO_GPIO_OE_SET = 1u << 6;
    for (;;) {
        if (SIO_GPIO_IN & (1u << 5))
            SIO_GPIO_OUT_SET = 1u << 6;
        else
            SIO_GPIO_OUT_CLR = 1u << 6;
    }
}
