#include "errors.h"

namespace py = pybind11;
using boardhost::Error;

namespace pyboardhost {

namespace {

struct KindName {
    Error::Kind kind;
    const char* name;
    const char* doc;
};

const KindName kKinds[] = {
    {Error::Kind::Absent, "AbsentError", "No board answers at the address."},
    {Error::Kind::Nack, "NackError", "A board stopped acknowledging in the middle of a transfer."},
    {Error::Kind::ShortRead, "ShortReadError", "Fewer bytes came back than were asked for."},
    {Error::Kind::BadDescriptor, "BadDescriptorError", "The board's descriptor cannot be used."},
    {Error::Kind::Unsupported, "UnsupportedError", "The board has no such channel or kind of I/O."},
    {Error::Kind::BadArgument, "BadArgumentError",
     "A value the board cannot take (also a ValueError)."},
    {Error::Kind::Bus, "BusError", "The bus or the connection to it failed."},
};

// Owned for the life of the process: the module's exception types are never
// unloaded, and nothing may release them after the interpreter has gone.
PyObject* gTypes[std::size(kKinds)];

PyObject* typeOf(Error::Kind kind) {
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (kKinds[i].kind == kind)
            return gTypes[i];
    }
    return gTypes[0];
}

PyObject* newType(py::module_& m, const char* name, const char* doc, PyObject* bases) {
    std::string full = std::string("boardhost.") + name;
    PyObject* t = PyErr_NewExceptionWithDoc(full.c_str(), doc, bases, nullptr);
    if (!t)
        throw py::error_already_set();
    m.attr(name) = py::handle(t);
    return t;
}

} // namespace

void addErrors(py::module_& m) {
    PyObject* base = newType(m, "BoardError",
                             "A failed operation on the bus or a board; the message says what "
                             "went wrong, as the C++ library words it.",
                             PyExc_Exception);
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        py::tuple bases = kKinds[i].kind == Error::Kind::BadArgument
                              ? py::make_tuple(py::handle(base), py::handle(PyExc_ValueError))
                              : py::make_tuple(py::handle(base));
        gTypes[i] = newType(m, kKinds[i].name, kKinds[i].doc, bases.ptr());
    }
}

void raise(const Error& e) {
    PyErr_SetString(typeOf(e.kind), e.message.c_str());
    throw py::error_already_set();
}

void raise(Error::Kind kind, const std::string& message) {
    raise(Error{kind, message});
}

} // namespace pyboardhost
