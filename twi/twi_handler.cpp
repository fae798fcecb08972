// The I2C slave event handler: answers every read byte at once from the
// register table or the descriptor, and captures each write transaction into
// a record for TWI-Task. Everything it runs is placed in RAM.
#include <cstdint>

#include "FreeRTOS.h"
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

// The block asks for the next byte as the master acknowledges one. When the
// master then ends the transaction without refusing a byte, the last byte
// fetched never went out, and the cursor steps back over it.
enum : uint8_t { FETCH_NONE = 0, FETCH_REG = 1, FETCH_JSON = 2 };
uint8_t lastFetch = FETCH_NONE;
// A byte of 0x05 is host activity once the host has it: when the next byte
// is asked for, or when the host refuses it as the last. One taken back is
// none.
bool heartbeatFetched = false;

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

uint8_t __not_in_flash_func(_readByte)() {
    const _reg_t* latched = latchedReg;
    latchedReg = nullptr;
    lastFetch = FETCH_NONE;
    if (heartbeatFetched) {
        _setHeartbeat = 1;
        heartbeatFetched = false;
    }
    if (mode == MODE_JSON) {
        if (jsonPos >= _descriptorLen) {
            return 0;
        }
        lastFetch = FETCH_JSON;
        return static_cast<uint8_t>(_descriptor[jsonPos++]);
    }
    if (mode != MODE_REGS || reg == nullptr) {
        return 0;
    }
    lastFetch = FETCH_REG;
    const _reg_t* served = reg;
    heartbeatFetched = served->addr == REG_HEARTBEAT;
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

// Ends the transaction that the current record belongs to.
void __not_in_flash_func(_closeTransaction)(i2c_hw_t* hw) {
    const bool refused =
        (static_cast<uint32_t>(hw->raw_intr_stat) & I2C_IC_RAW_INTR_STAT_RX_DONE_BITS) != 0;
    static_cast<void>(static_cast<uint32_t>(hw->clr_rx_done));
    if (refused && heartbeatFetched) {
        _setHeartbeat = 1;
    }
    heartbeatFetched = false;
    if (!refused && lastFetch == FETCH_REG) {
        reg = regs.prev();
    } else if (!refused && lastFetch == FETCH_JSON) {
        --jsonPos;
    }
    lastFetch = FETCH_NONE;
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
        i2c_write_byte_raw(i2c, _readByte());
        break;
    case I2C_SLAVE_FINISH:
        _finishTransaction(i2c);
        break;
    default:
        break;
    }
}
