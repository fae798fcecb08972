// UART0 as the bus fabric reaches it (reset values and writable bits:
// every_block_registers_test):
// character times over formats and divisors with the console line stamped as
// the newline's stop bit ends, the bits on the TX pin, FIFO depth and flags,
// the transmit and receive interrupts, overrun and receive timeout.
#include "chip/gpio_access.h"
#include "chip_bench.h"

#include <utility>

namespace {

using sim::Time;
using U = sim::Uart;

constexpr std::uint32_t k8n1 = 3u << U::kLcrWlenShift;
constexpr std::uint32_t kEnabled = U::kCrUarten | U::kCrTxe | U::kCrRxe;

class UartRegistersTest : public ChipBench {
protected:
    // 115200 baud as the SDK sets it: divisor 67 + 52/64, 8680 ns a bit.
    void configure(std::uint32_t lcrH = k8n1 | U::kLcrFen, std::uint32_t cr = kEnabled) {
        uart.write(U::kIbrd, 67);
        uart.write(U::kFbrd, 52);
        uart.write(U::kLcrH, lcrH);
        uart.write(U::kCr, cr);
    }
    void send(const std::string& text) {
        for (char c : text)
            uart.write(U::kDr, static_cast<unsigned char>(c));
    }
    void runTo(Time t) { ASSERT_TRUE(sim.runUntil(t)); }

    sim::RegisterBlock& uart = chip.uart0;
};

TEST_F(UartRegistersTest, ACharacterLastsItsBitsAtTheDivisorsRate) {
    struct Case {
        std::uint32_t ibrd, fbrd, lcrH;
        unsigned bits;
        Time bit;
    };
    const Case cases[] = {
        {67, 52, k8n1, 10, 8680},                                              // 115200 8N1
        {67, 52, 2u << U::kLcrWlenShift | U::kLcrPen | U::kLcrStp2, 11, 8680}, // 7E2
        {813, 51, k8n1 | U::kLcrPen, 11, 2 * (64 * 813 + 51)},                 // 9600 8O1
        {1, 0, 0, 7, 128},                                                     // 5N1, fastest
    };
    Time at = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ibrd);
        uart.write(U::kIbrd, c.ibrd);
        uart.write(U::kFbrd, c.fbrd);
        uart.write(U::kLcrH, c.lcrH | U::kLcrFen);
        uart.write(U::kCr, kEnabled);
        EXPECT_EQ(chip.uart0.characterBits(), c.bits);
        EXPECT_EQ(chip.uart0.bitTime(), c.bit);
        runTo(at);
        const std::size_t before = chip.console.lines().size();
        send("ok\n");
        EXPECT_EQ(uart.read(U::kFr) & (U::kFrBusy | U::kFrTxfe), U::kFrBusy);
        const Time end = at + 3 * c.bits * c.bit;
        runTo(end - 1);
        EXPECT_EQ(chip.console.lines().size(), before);
        runTo(end);
        ASSERT_EQ(chip.console.lines().size(), before + 1);
        EXPECT_EQ(chip.console.lines().back().at, end);
        EXPECT_EQ(chip.console.lines().back().text, "ok");
        EXPECT_EQ(uart.read(U::kFr) & (U::kFrBusy | U::kFrTxfe), U::kFrTxfe);
        at = end + 1000;
    }
}

TEST_F(UartRegistersTest, TheTxPinCarriesStartDataAndStopBits) {
    sim::bank0::setFunction(chip.gpio, 0, sim::gpiofn::kUart);
    EXPECT_TRUE(chip.gpio.level(0)); // idles high
    std::vector<std::pair<Time, bool>> edges;
    chip.gpio.addListener(1u, [&](unsigned, bool level) { edges.emplace_back(sim.now(), level); });
    configure();
    runTo(500);
    send("A"); // 0x41: 1000 0010 from the least significant bit
    runTo(500 + 10 * 8680);
    const Time b = 8680;
    const std::vector<std::pair<Time, bool>> expected = {
        {500, false},        {500 + b, true},      {500 + 2 * b, false},
        {500 + 7 * b, true}, {500 + 8 * b, false}, {500 + 9 * b, true},
    };
    EXPECT_EQ(edges, expected);
    // A break holds the line low until it is lifted.
    uart.write(U::kLcrH, k8n1 | U::kLcrFen | U::kLcrBrk);
    EXPECT_FALSE(chip.gpio.level(0));
    uart.write(U::kLcrH, k8n1 | U::kLcrFen);
    EXPECT_TRUE(chip.gpio.level(0));
}

TEST_F(UartRegistersTest, FifoDepthIsThirtyTwoWithFenAndOneWithout) {
    struct Case {
        std::uint32_t lcrH;
        std::size_t depth;
    };
    for (const Case& c : {Case{k8n1 | U::kLcrFen, 32}, Case{k8n1, 1}}) {
        SCOPED_TRACE(c.depth);
        chip.uart0.reset();
        configure(c.lcrH, U::kCrTxe); // not enabled: nothing leaves
        for (std::size_t i = 0; i < c.depth + 1; ++i)
            uart.write(U::kDr, 'a');
        EXPECT_EQ(chip.uart0.txLevel(), c.depth);
        EXPECT_EQ(uart.read(U::kFr), U::kFrTxff | U::kFrBusy | U::kFrRxfe);
    }
}

TEST_F(UartRegistersTest, TransmitInterruptRisesAsTheFifoDrainsToItsLevel) {
    configure(); // IFLS at reset: half, 16 characters
    uart.write(U::kImsc, U::kIntTx);
    send(std::string(20, 'x'));
    // One shifts, nineteen wait; every character end takes one more.
    EXPECT_EQ(uart.read(U::kRis) & U::kIntTx, 0u);
    runTo(3 * 86800 - 1);
    EXPECT_FALSE(chip.irqLine(U::kUart0Irq));
    runTo(3 * 86800);
    EXPECT_EQ(uart.read(U::kMis), U::kIntTx);
    EXPECT_TRUE(chip.irqLine(U::kUart0Irq));
    uart.write(U::kIcr, U::kIntTx);
    EXPECT_FALSE(chip.irqLine(U::kUart0Irq));
}

TEST_F(UartRegistersTest, ReceivingLoopbackOverrunAndTimeout) {
    // Loopback without FIFOs: the character sent arrives as its stop bit ends.
    configure(k8n1, kEnabled | U::kCrLbe);
    uart.write(U::kImsc, U::kIntRx | U::kIntOe);
    send("q");
    runTo(86800 - 1);
    EXPECT_EQ(uart.read(U::kFr) & U::kFrRxfe, U::kFrRxfe);
    runTo(86800);
    EXPECT_EQ(uart.read(U::kFr) & (U::kFrRxfe | U::kFrRxff), U::kFrRxff);
    EXPECT_EQ(uart.read(U::kRis) & U::kIntRx, U::kIntRx);
    EXPECT_TRUE(chip.irqLine(U::kUart0Irq));
    // A second character finds the holding register full.
    chip.uart0.receive('r');
    EXPECT_EQ(uart.read(U::kRsr), U::kRsrOe);
    EXPECT_EQ(uart.read(U::kRis) & U::kIntOe, U::kIntOe);
    EXPECT_EQ(uart.peek(U::kDr), static_cast<std::uint32_t>('q'));
    EXPECT_EQ(uart.read(U::kDr), static_cast<std::uint32_t>('q'));
    EXPECT_EQ(uart.read(U::kRis) & U::kIntRx, 0u);
    uart.write(U::kRsr, 0);
    uart.write(U::kIcr, U::kIntOe);
    EXPECT_EQ(uart.read(U::kRsr), 0u);
    EXPECT_FALSE(chip.irqLine(U::kUart0Irq));

    // With FIFOs, one character stays below the level: the timeout rises 32
    // bit periods after it came.
    configure();
    uart.write(U::kImsc, U::kIntRt);
    const Time t0 = sim.now();
    chip.uart0.receive('s');
    runTo(t0 + 32 * 8680 - 1);
    EXPECT_FALSE(chip.irqLine(U::kUart0Irq));
    runTo(t0 + 32 * 8680);
    EXPECT_TRUE(chip.irqLine(U::kUart0Irq));
    uart.read(U::kDr); // emptied: the timeout goes
    EXPECT_FALSE(chip.irqLine(U::kUart0Irq));
}

} // namespace
