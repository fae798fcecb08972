// Allocations a test makes fail, to reach the firmware's handling of a
// creation that finds no memory. Either chip counts its allocator's calls
// here: the host model's heap, and the instruction-level chip at every call
// of the image's allocator, which it then returns from with null.
#pragma once

namespace sim {

class AllocationFaults {
public:
    // The next `count` allocations after `skip` successful ones fail.
    void failAllocations(unsigned count, unsigned skip = 0) {
        failCount_ = count;
        failSkip_ = skip;
    }
    // Counts one allocation: true when it is to fail.
    bool failThisOne() {
        if (failCount_ == 0)
            return false;
        if (failSkip_ > 0) {
            --failSkip_;
            return false;
        }
        --failCount_;
        ++failed_;
        return true;
    }
    unsigned failedAllocations() const { return failed_; }

private:
    unsigned failCount_ = 0;
    unsigned failSkip_ = 0;
    unsigned failed_ = 0;
};

} // namespace sim
