#include "coroutine.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#define SIM_ASAN 1
#else
#define SIM_ASAN 0
#endif

#if !defined(__x86_64__)
#error "the coroutine switch is written for x86-64"
#endif

// Saves the callee-saved registers and the floating-point control words on
// the current stack, stores the stack pointer in *save, and continues on the
// stack `next` as it was left by an earlier switch (or prepared by the
// constructor).
extern "C" void sim_context_switch(void** save, void* next);

asm(R"(
    .text
    .globl sim_context_switch
    .type sim_context_switch, @function
sim_context_switch:
    pushq %rbp
    pushq %rbx
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    subq $8, %rsp
    stmxcsr (%rsp)
    fnstcw 4(%rsp)
    movq %rsp, (%rdi)
    movq %rsi, %rsp
    ldmxcsr (%rsp)
    fldcw 4(%rsp)
    addq $8, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rbx
    popq %rbp
    ret
    .size sim_context_switch, .-sim_context_switch
    .section .note.GNU-stack,"",@progbits
    .text
)");

namespace sim {

Coroutine* Coroutine::running_ = nullptr;

namespace {

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t mappingSize() {
    return Coroutine::kStackSize + pageSize();
}

// Stacks are reused: a chip reset drops every task at once and the next boot
// creates as many again.
std::vector<void*>& stackPool() {
    static std::vector<void*> pool;
    return pool;
}

void* takeStack() {
    auto& pool = stackPool();
    if (!pool.empty()) {
        void* s = pool.back();
        pool.pop_back();
        return s;
    }
    void* m = mmap(nullptr, mappingSize(), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m == MAP_FAILED) {
        std::fprintf(stderr, "coroutine: no memory for a stack\n");
        std::abort();
    }
    // The lowest page catches a stack overflow instead of corrupting memory.
    mprotect(m, pageSize(), PROT_NONE);
    return m;
}

void giveStack(void* s) {
#if SIM_ASAN
    // Frames abandoned without returning leave poisoned shadow behind.
    __asan_unpoison_memory_region(static_cast<char*>(s) + pageSize(), Coroutine::kStackSize);
#endif
    stackPool().push_back(s);
}

} // namespace

Coroutine::Coroutine(Entry entry, void* arg) : entry_(entry), arg_(arg) {
    stack_ = takeStack();
    auto top = reinterpret_cast<std::uintptr_t>(stack_) + mappingSize();
    top &= ~std::uintptr_t{15};
    auto* words = reinterpret_cast<std::uint64_t*>(top);
    // Layout consumed by the first switch: control words, six registers, the
    // address to return to, and a zero return address for start() itself so
    // that it begins with the stack aligned as after a call.
    words[-1] = 0;
    words[-2] = reinterpret_cast<std::uint64_t>(&Coroutine::start);
    for (int i = 3; i <= 8; ++i)
        words[-i] = 0;
    words[-9] = 0x037F'00001F80ull; // fpu control word 0x037F, mxcsr 0x1F80
    sp_ = &words[-9];
}

Coroutine::~Coroutine() {
    giveStack(stack_);
}

void Coroutine::resume() {
    Coroutine* previous = running_;
    running_ = this;
#if SIM_ASAN
    void* fake = nullptr;
    __sanitizer_start_switch_fiber(&fake, static_cast<char*>(stack_) + pageSize(), kStackSize);
#endif
    sim_context_switch(&callerSp_, sp_);
#if SIM_ASAN
    __sanitizer_finish_switch_fiber(fake, nullptr, nullptr);
#endif
    running_ = previous;
}

void Coroutine::suspend() {
    Coroutine* self = running_;
#if SIM_ASAN
    void* fake = nullptr;
    __sanitizer_start_switch_fiber(self->finished_ ? nullptr : &fake, self->callerStackBottom_,
                                   self->callerStackSize_);
#endif
    sim_context_switch(&self->sp_, self->callerSp_);
#if SIM_ASAN
    __sanitizer_finish_switch_fiber(fake, &self->callerStackBottom_, &self->callerStackSize_);
#endif
}

void Coroutine::start() {
    Coroutine* self = running_;
#if SIM_ASAN
    __sanitizer_finish_switch_fiber(nullptr, &self->callerStackBottom_, &self->callerStackSize_);
#endif
    self->entry_(self->arg_);
    self->finished_ = true;
    suspend();
    std::abort(); // a finished coroutine is never resumed
}

} // namespace sim
