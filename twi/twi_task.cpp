// The task side of the host link: set-up, and TWI-Task, which applies the
// host writes captured by the handler and turns them into board events.
#include <cstdint>
#include <initializer_list>

#include "board/board_task.h"
#include "board_image.h"
#include "hardware/gpio.h"
#include "twi/descriptor.h"
#include "twi/regs.h"
#include "twi/regs_lock.h"
#include "twi/twi.h"
#include "twi/twi_link.h"

RecordRing<_buf_t, HOST_WRITE_QUEUE_DEPTH> _q;
critical_section_t _critSec;
TaskHandle_t _taskHandle = nullptr;
volatile uint8_t _setHeartbeat = 0;

namespace {

constexpr uint8_t SDA_PIN = 20;
constexpr uint8_t SCL_PIN = 21;
constexpr uint32_t BUS_HZ = 100000;
// The data set-up before the block lets SCL go on a read byte it was asked
// for: (value - 1) cycles of clk_sys, here 256 ns, the standard-mode minimum
// of 250 ns (fast mode asks 100 ns). The reset value (800 ns) would add half
// a microsecond to every answer that comes late for the host's clock.
constexpr uint32_t SDA_SETUP_CYCLES = 33;
constexpr uint8_t REG_DIN_LO = 0x12;
constexpr uint8_t REG_DIN_HI = 0x13;
constexpr uint8_t REG_DESC_LEN_HI = 0xFD;
constexpr uint8_t REG_DESC_LEN_LO = 0xFE;

BoardTask* _board = nullptr;

// One event per kind and record, in code order: outputs before analog outputs.
void _sendEvents(uint32_t events) {
    for (uint8_t code = 0; code < 32; ++code) {
        if ((events & (1u << code)) != 0) {
            _board->sendEvent(makeBoardEvent(code), 0);
        }
    }
}

// Stores one record's bytes from its first register on in table order;
// read-only registers keep their value but take their byte of the run.
void _apply(const _buf_t& record, _Regs& regs) {
    _reg_t* entry = regs.at(record.addr);
    if (entry == nullptr) {
        return;
    }
    if constexpr (HAS_INPUT_CHANGE_PIN) {
        if (record.addr == REG_DIN_LO || record.addr == REG_DIN_HI) {
            gpio_put(INPUT_CHANGE_PIN, 1); // the host has seen the input change
        }
    }
    // Addresses never change, so the events are found outside the lock,
    // which core 1 then holds with interrupts off for the stores alone.
    uint32_t events = 0;
    _Regs walk;
    const _reg_t* e = walk.at(record.addr);
    for (uint32_t i = 0; i < record.len; ++i, e = walk.next()) {
        events |= hostWriteEvents(e->addr);
    }
    critical_section_enter_blocking(&critSecRegs);
    for (uint32_t i = 0; i < record.len; ++i) {
        if (entry->readOnly == 0) {
            entry->value = record.data[i];
        }
        entry = regs.next();
    }
    critical_section_exit(&critSecRegs);
    // Every byte of the record is stored before the board hears of it.
    _sendEvents(events);
}

} // namespace

void twiInit(BoardTask* board) {
    _board = board;
    for (uint8_t pin : {SDA_PIN, SCL_PIN}) {
        gpio_init(pin);
        gpio_set_function(pin, GPIO_FUNC_I2C);
        gpio_set_pulls(pin, true, false);
    }
    i2c_init(i2c0, BUS_HZ);
    // The block answers the general call (address 0) from reset. Broadcasts
    // on a shared bus are meant for other devices (a converter's reset, say),
    // never register writes for this board, so it keeps out of them.
    i2c_hw_t* hw = i2c_get_hw(i2c0);
    hw->ack_general_call = 0;
    hw->enable = 0; // IC_SDA_SETUP takes writes only while disabled
    hw->sda_setup = SDA_SETUP_CYCLES;
    hw->enable = 1;
    critical_section_init(&_critSec);
    // No other task and no handler touches the table yet.
    _Regs::find(REG_DESC_LEN_HI)->value = static_cast<uint8_t>(_descriptorLen >> 8);
    _Regs::find(REG_DESC_LEN_LO)->value = static_cast<uint8_t>(_descriptorLen & 0xFF);
}

bool TwiTask::start(uint8_t address) {
    _slaveAddr = address;
    return TaskAgent::start("TWI-Task", 29, 0x2, &_slaveAddr);
}

void TwiTask::run(void* param) {
    const uint8_t address = *static_cast<const uint8_t*>(param);
    _Regs regs;
    // The handler notifies _taskHandle from its first event on, so the task
    // publishes its own handle before the slave interrupt can fire.
    _taskHandle = xTaskGetCurrentTaskHandle();
    i2c_slave_init(i2c0, address, _twiHandler);
    twiWrapSlaveIrq();
    for (;;) {
        ulTaskNotifyTake(pdTRUE, portMAX_DELAY);
        // A heartbeat flagged between the test and the clear is covered by
        // the event sent here.
        if (_setHeartbeat != 0) {
            _setHeartbeat = 0;
            _board->sendEvent(makeBoardEvent(EV_HOST_ACTIVITY), 0);
        }
        // The front record stays in place while it is applied; the handler
        // only ever writes behind it.
        for (;;) {
            critical_section_enter_blocking(&_critSec);
            const _buf_t* record = _q.front();
            critical_section_exit(&_critSec);
            if (record == nullptr) {
                break;
            }
            _apply(*record, regs);
            critical_section_enter_blocking(&_critSec);
            _q.pop();
            critical_section_exit(&_critSec);
        }
    }
}
