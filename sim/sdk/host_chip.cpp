#include "sdk/host_chip.h"

#include "sdk/runtime.h"

#include <exception>

namespace sim {

HostChip::HostChip(Simulation& sim, std::string name)
    : Chip(sim, name), Processor(sim, name), sdk_(std::make_unique<sdk::Runtime>()) {
    powerOnBlocks();
    setBeforeBoot([this] { beforeBoot(); });
    setEntry([this] { return boot(); });
}

HostChip::~HostChip() = default;

void HostChip::loadImage(const std::string& path) {
    auto image = std::make_unique<FirmwareImage>(path);
    image->loadFresh();
    image_ = std::move(image);
    imageBooted_ = false;
}

void HostChip::setMain(std::function<int()> main) {
    image_.reset();
    main_ = std::move(main);
}

void HostChip::beforeBoot() {
    // A copy that has run holds the statics of that run: boot a fresh one.
    if (image_ && imageBooted_) {
        try {
            image_->loadFresh();
        } catch (const std::exception& e) {
            failSoft(e.what());
        }
        imageBooted_ = false;
    }
}

int HostChip::boot() {
    // What the SDK's runtime does on core 0 before main.
    sdk::runtimeInit(*this);
    if (image_) {
        imageBooted_ = true;
        return image_->runMain();
    }
    return main_ ? main_() : 0;
}

void HostChip::setDebugHalt(bool halted) {
    Processor::setDebugHalt(halted);
    Chip::setDebugHalt(halted);
}

void HostChip::resetPeripherals() {
    resetBlocks();
    *sdk_ = sdk::Runtime{};
}

std::vector<Chip::TaskInfo> HostChip::tasks() const {
    std::vector<TaskInfo> out;
    for (const Task* t : scheduler().tasks())
        if (t->state != TaskState::Deleted)
            out.push_back({t->name, t->priority, t->affinity});
    return out;
}

} // namespace sim
