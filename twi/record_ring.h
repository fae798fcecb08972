// A first-in first-out ring of fixed capacity. All storage is part of the
// object, so pushing never allocates and a full ring simply refuses.
// Not thread-safe: the owner serialises access.
#ifndef TWI_RECORD_RING_H
#define TWI_RECORD_RING_H

#include <cstdint>

template <typename T, uint32_t N>
class RecordRing {
    static_assert(N > 0, "a ring holds at least one record");

public:
    // Copies the record in at the back; false (and nothing stored) when full.
    bool push(const T& record) {
        if (_count == N) {
            return false;
        }
        _slots[(_head + _count) % N] = record;
        ++_count;
        return true;
    }

    // The oldest record, or null when empty. It stays in place, untouched by
    // later pushes, until pop() removes it.
    T* front() { return _count == 0 ? nullptr : &_slots[_head]; }

    void pop() {
        if (_count != 0) {
            _head = (_head + 1) % N;
            --_count;
        }
    }

    bool empty() const { return _count == 0; }
    uint32_t size() const { return _count; }
    static constexpr uint32_t capacity() { return N; }

private:
    T _slots[N]{};
    uint32_t _head = 0;
    uint32_t _count = 0;
};

#endif
