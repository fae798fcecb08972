// A bare processor for RTOS conformance tests.
#pragma once

#include "../common/lambda_bench.h"
#include "kernel/timer_service.h"

#include "queue.h"
#include "timers.h"

class KernelBench : public LambdaBench<sim::Processor> {
public:
    KernelBench() : LambdaBench("chip") {}
};
