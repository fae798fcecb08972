// The library's errors as Python exceptions: boardhost.BoardError and one
// subclass per error kind, carrying the library's message.
#pragma once

#include "boardhost/result.h"

#include <pybind11/pybind11.h>

#include <utility>

namespace pyboardhost {

void addErrors(pybind11::module_& m);

[[noreturn]] void raise(const boardhost::Error& e);
[[noreturn]] void raise(boardhost::Error::Kind kind, const std::string& message);

template <class T>
T unwrap(boardhost::Result<T> r) {
    if (!r)
        raise(r.error());
    return std::move(r).value();
}

} // namespace pyboardhost
