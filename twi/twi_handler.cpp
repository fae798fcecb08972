// The I2C slave event handler: answers read requests at once from the
// register table or the descriptor, and captures each write transaction into
// a record for TWI-Task. Everything it runs is placed in RAM.
#include <cstdint>

#include "FreeRTOS.h"
#include "hardware/irq.h"
#include "pico/stdlib.h"
#include "task.h"
#include "twi/descriptor.h"
#include "twi/regs.h"
#include "twi/regs_lock.h"
#include "twi/twi.h"
#include "twi/twi_link.h"

namespace {

enum : uint8_t { MODE_NONE = 0, MODE_REGS = 1, MODE_JSON = 2 };

constexpr uint8_t REG_HEARTBEAT = 0x05;
constexpr uint8_t REG_HEARTBEAT_CMD = 0x0B;
constexpr uint8_t SELECT_DESCRIPTOR = 0xFF;
constexpr uint8_t HEARTBEAT_BIT = 0x80;
constexpr uint8_t MAX_DATA = sizeof(_buf_t::data);

// Handler state; lives for the whole run and is touched only here.
uint8_t mode = MODE_REGS;
_buf_t buf;
_reg_t* reg = nullptr;
_Regs regs;
uint32_t jsonPos = 0;
uint8_t addrHandled = 0;

// A host that hangs in the middle of a write and then recovers the bus
// (nine clocks and a STOP) clocks a byte of ones into it. A write is cut
// where a gap of more than STALL_LIMIT_US comes before one of its bytes:
// the bytes before the gap are applied, as after a STOP, and the byte after
// it and the rest of the transaction are dropped. The limit lies above the
// longest pause of a working master (a preempted bit-banging one stops for
// up to 30 ms between bytes), so slow writes arrive whole; a hang shorter
// than it looks like such a pause on the wire and its ones are data.
constexpr uint32_t STALL_LIMIT_US = 35000;
uint32_t lastByteUs = 0;
bool stalled = false;

// The block sends what its transmit FIFO holds without asking again, so a
// request is answered with as many bytes as the FIFO takes: the host's
// later bytes then never wait for core 1. The bytes the host does not take
// are flushed by the block as the host refuses one, or still wait in the
// FIFO, behind the one the block took for the next byte, when the host ends
// without refusing; the cursor steps back over them. `readQueued` counts
// the bytes of this read put in the FIFO, the first `readMoved` of them moved
// the cursor (a run off the descriptor's end or an unknown register serves 0).
uint32_t readQueued = 0;
uint32_t readMoved = 0;
// Bytes the block flushed in the abort that ended this read.
uint32_t readFlushed = 0;
// A byte of 0x05 is host activity once the host has it: when the FIFO runs
// dry and the next byte is asked for, or when the transaction ends and it
// was among the bytes sent. One taken back is none. Its place in `readQueued`.
constexpr uint32_t NO_HEARTBEAT = UINT32_MAX;
uint32_t heartbeatAt = NO_HEARTBEAT;

// The slave layer's own interrupt handler, which _twiIrq hands on to.
irq_handler_t layerIrq = nullptr;

// When the low byte of a published 16-bit value is read, its high byte is
// taken in the same holding of critSecRegs (its writers hold the lock across
// both bytes) and served if the very next read of the transaction asks for
// it, so a host reading the pair in one run gets both bytes of one update.
// Any other event forgets it, so single-byte transactions read live values.
const _reg_t* latchedReg = nullptr;
uint8_t latchedValue = 0;

void __not_in_flash_func(_notifyTask)() {
    BaseType_t woken = pdFALSE;
    vTaskNotifyGiveFromISR(_taskHandle, &woken);
    portYIELD_FROM_ISR(woken);
}

void __not_in_flash_func(_receiveByte)(uint8_t b) {
    const uint32_t now = time_us_32();
    if (addrHandled != 0 && now - lastByteUs > STALL_LIMIT_US) {
        stalled = true;
    }
    lastByteUs = now;
    if (stalled) {
        return;
    }
    latchedReg = nullptr;
    if (addrHandled == 0) {
        buf.addr = b;
        buf.len = 0;
        addrHandled = 1;
        if (b == SELECT_DESCRIPTOR) {
            mode = MODE_JSON;
            jsonPos = 0;
        } else {
            reg = regs.at(b);
            mode = (reg != nullptr) ? MODE_REGS : MODE_NONE;
        }
        return;
    }
    if (reg == nullptr) {
        return;
    }
    if (buf.len < MAX_DATA) {
        buf.data[buf.len++] = b;
    }
    if (reg->addr == REG_HEARTBEAT_CMD && (b & HEARTBEAT_BIT) != 0) {
        _setHeartbeat = 1;
        _notifyTask();
        critical_section_enter_blocking(&critSecRegs);
        if (_reg_t* heartbeat = _Regs::find(REG_HEARTBEAT)) {
            heartbeat->value = b;
        }
        critical_section_exit(&critSecRegs);
    }
    reg = regs.next();
}

uint8_t __not_in_flash_func(_fetchByte)() {
    const _reg_t* latched = latchedReg;
    latchedReg = nullptr;
    const uint32_t position = readQueued++;
    if (mode == MODE_JSON) {
        if (jsonPos >= _descriptorLen) {
            return 0;
        }
        ++readMoved;
        return static_cast<uint8_t>(_descriptor[jsonPos++]);
    }
    if (mode != MODE_REGS || reg == nullptr) {
        return 0;
    }
    ++readMoved;
    const _reg_t* served = reg;
    if (served->addr == REG_HEARTBEAT) {
        heartbeatAt = position;
    }
    reg = regs.next();
    if (served == latched) {
        return latchedValue;
    }
    if (!_isPublishedWordLow(served->addr)) {
        return served->value;
    }
    critical_section_enter_blocking(&critSecRegs);
    const uint8_t value = served->value;
    latchedValue = reg->value;
    critical_section_exit(&critSecRegs);
    latchedReg = reg;
    return value;
}

void __not_in_flash_func(_answerRequest)(i2c_inst_t* i2c) {
    if (readQueued == 0) {
        readFlushed = 0; // an abort as this read began flushed the last one's bytes
    }
    // Asked again: the host has every byte queued so far.
    if (heartbeatAt != NO_HEARTBEAT) {
        _setHeartbeat = 1;
        heartbeatAt = NO_HEARTBEAT;
    }
    i2c_write_byte_raw(i2c, _fetchByte());
    // Bytes of a write still in the receive FIFO would be flushed with the
    // leftover ones: until they are taken, one byte per request.
    if (i2c_get_read_available(i2c) != 0) {
        return;
    }
    for (auto room = i2c_get_write_available(i2c); room != 0; --room) {
        i2c_write_byte_raw(i2c, _fetchByte());
    }
}

// Steps back over the bytes of this read that the host never got: those
// flushed, those still queued, and after an acknowledge the one the block
// took for the next byte. A late interrupt may find the rest already flushed
// by the next read's address.
void __not_in_flash_func(_takeBackUnsent)(i2c_hw_t* hw, bool refused) {
    uint32_t unsent = readFlushed + static_cast<uint32_t>(hw->txflr) + (refused ? 0u : 1u);
    if (unsent > readQueued) {
        unsent = readQueued;
    }
    const uint32_t sent = readQueued - unsent;
    if (heartbeatAt < sent) {
        _setHeartbeat = 1;
    }
    for (uint32_t i = sent; i < readMoved; ++i) {
        if (mode == MODE_JSON) {
            --jsonPos;
        } else {
            reg = regs.prev();
        }
    }
    readQueued = 0;
    readMoved = 0;
    readFlushed = 0;
    heartbeatAt = NO_HEARTBEAT;
}

// Ends the transaction that the current record belongs to.
void __not_in_flash_func(_closeTransaction)(i2c_hw_t* hw) {
    const bool refused =
        (static_cast<uint32_t>(hw->raw_intr_stat) & I2C_IC_RAW_INTR_STAT_RX_DONE_BITS) != 0;
    static_cast<void>(static_cast<uint32_t>(hw->clr_rx_done));
    if (readQueued != 0) {
        _takeBackUnsent(hw, refused);
    }
    addrHandled = 0;
    latchedReg = nullptr;
    const bool queued = buf.len != 0;
    if (queued) {
        critical_section_enter_blocking(&_critSec);
        _q.push(buf); // a full queue drops the record; the handler goes on
        critical_section_exit(&_critSec);
    }
    buf.len = 0;
    stalled = false;
    // A read leaves TWI-Task nothing to do unless it flagged host activity;
    // waking it costs both cores a turn through the kernel's locks.
    if (queued || _setHeartbeat != 0) {
        _notifyTask();
    }
}

// The block marks the first byte received after each address phase. Such a
// byte while a record is open starts the next message: its end (a repeated
// START) was not handled before the byte came.
bool __not_in_flash_func(_startsMessage)(uint32_t dataCmd) {
    return (dataCmd & I2C_IC_DATA_CMD_FIRST_DATA_BYTE_BITS) != 0 && addrHandled != 0;
}

void __not_in_flash_func(_finishTransaction)(i2c_inst_t* i2c) {
    // The slave layer reports the end of a transaction before the bytes
    // received in the same interrupt, so the last data bytes can still wait
    // in the receive FIFO: they belong to this record. When the end is
    // handled late, the bytes of the next messages may wait behind them,
    // each message's first byte marked by the block.
    i2c_hw_t* hw = i2c_get_hw(i2c);
    bool opened = false;
    while (i2c_get_read_available(i2c) != 0) {
        const uint32_t dataCmd = hw->data_cmd;
        if (_startsMessage(dataCmd)) {
            _closeTransaction(hw);
            opened = true;
        }
        _receiveByte(static_cast<uint8_t>(dataCmd));
    }
    if (!opened) {
        _closeTransaction(hw);
        return;
    }
    // The end this event reports was the first of those messages'. The
    // message opened last may be over too, its STOP taken with this event:
    // then no other event will end it. With the slave idle and no START or
    // STOP seen since, it is over; otherwise a later event ends it.
    const bool idle = (static_cast<uint32_t>(hw->status) & I2C_IC_STATUS_SLV_ACTIVITY_BITS) == 0;
    const bool endSeen =
        (static_cast<uint32_t>(hw->raw_intr_stat) &
         (I2C_IC_RAW_INTR_STAT_START_DET_BITS | I2C_IC_RAW_INTR_STAT_STOP_DET_BITS)) != 0;
    if (idle && !endSeen) {
        _closeTransaction(hw);
    }
}

} // namespace

void __not_in_flash_func(_twiHandler)(i2c_inst_t* i2c, i2c_slave_event_t event) {
    switch (event) {
    case I2C_SLAVE_RECEIVE:
        // A FINISH earlier in the same interrupt may have emptied the FIFO
        // already; reading it empty would invent a byte the host never sent.
        if (i2c_get_read_available(i2c) != 0) {
            i2c_hw_t* hw = i2c_get_hw(i2c);
            const uint32_t dataCmd = hw->data_cmd;
            if (_startsMessage(dataCmd)) {
                _closeTransaction(hw);
            }
            _receiveByte(static_cast<uint8_t>(dataCmd));
        }
        break;
    case I2C_SLAVE_REQUEST:
        _answerRequest(i2c);
        break;
    case I2C_SLAVE_FINISH:
        _finishTransaction(i2c);
        break;
    default:
        break;
    }
}

// The slave layer clears a transmit abort before it reports the end of the
// transfer, and the abort's count of flushed bytes goes with it. So the
// abort is masked for the layer; this handler reads the count and clears the
// abort (the FIFOs stay flushed until then), then hands on to the layer.
void __not_in_flash_func(_twiIrq)() {
    i2c_hw_t* hw = i2c_get_hw(i2c0);
    if ((static_cast<uint32_t>(hw->raw_intr_stat) & I2C_IC_RAW_INTR_STAT_TX_ABRT_BITS) != 0) {
        readFlushed =
            (static_cast<uint32_t>(hw->tx_abrt_source) & I2C_IC_TX_ABRT_SOURCE_TX_FLUSH_CNT_BITS) >>
            I2C_IC_TX_ABRT_SOURCE_TX_FLUSH_CNT_LSB;
        static_cast<void>(static_cast<uint32_t>(hw->clr_tx_abrt));
    }
    layerIrq();
}

void twiWrapSlaveIrq() {
    irq_set_enabled(I2C0_IRQ, false);
    i2c_hw_t* hw = i2c_get_hw(i2c0);
    hw->intr_mask = static_cast<uint32_t>(hw->intr_mask) & ~I2C_IC_INTR_MASK_M_TX_ABRT_BITS;
    layerIrq = irq_get_exclusive_handler(I2C0_IRQ);
    irq_remove_handler(I2C0_IRQ, layerIrq);
    irq_set_exclusive_handler(I2C0_IRQ, _twiIrq);
    irq_set_enabled(I2C0_IRQ, true);
}
