// The board's central object and task: owns the host link, the timers, the
// event queue and the side tasks, sets the board up and then serves its
// event queue. What an image does in its own way comes from its
// board_image.h (constants) and board_task_members.h (its own members).
#ifndef BOARD_BOARD_TASK_H
#define BOARD_BOARD_TASK_H

#include <cstdint>

#include "FreeRTOS.h"
#include "agents/heartbeat_timer.h"
#include "agents/task_agent.h"
#include "board/board_event.h"
#include "board_image.h"
#include "queue.h"
#include "task.h"
#include "twi/twi.h"

// The board event queue for senders without a board object (interrupt
// handlers); null while no board exists.
extern QueueHandle_t _g_boardEventQHandle;

class BoardTask : public TaskAgent {
public:
    BoardTask();
    ~BoardTask() override;

    // Queues an event; false when the queue stayed full for ticksToWait.
    bool sendEvent(BoardEvent event, uint32_t ticksToWait);
    int8_t getPos() const { return _pos; }

    void del() override;
    void run(void* userData) override;

private:
    // Shared by every image.
    void _checkPos();
    void _startSideTask(TaskFunction_t body, const char* name, void* param, TaskHandle_t* handle);
    static void _deleteTask(TaskHandle_t& handle);

    // Digital inputs (board/digital_inputs.cpp), for the images with a
    // DIN_MAP and an input-change line in board_image.h and the members
    // _dinMask, _debouncePin and _debounceTimer.
    void _initInputs();
    void _checkGPIOs(uint8_t pin);
    void _debounceElapsed();
    void _publishInputs();

    // Each image's own, in boards/<image>/.
    void _init();
    bool _handleEvent(BoardEvent event); // false: not an event of this image
    bool _imageObjectsCreated() const;
    void _delImage();

    TwiTask _twiTask;
    HeartbeatTimer _heartbeatTimer{this};
    TaskHandle_t _onboardLedTask = nullptr;
    QueueHandle_t _eventQueue = nullptr;
    int8_t _pos = -1;
    uint8_t _addr = 0;

#include "board_task_members.h"
};

#endif
