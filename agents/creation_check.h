// What the firmware does when a task, queue or timer it needs cannot be created.
#ifndef AGENTS_CREATION_CHECK_H
#define AGENTS_CREATION_CHECK_H

// Returns when `created` is true; otherwise resets the chip and never returns.
void requireCreated(bool created);

#endif
