#pragma once
// Owns one strong Python reference; releases it when it goes out of scope.
#include <Python.h>

#include <utility>

namespace korvane {

class PyRef {
public:
    PyRef() = default;
    // Takes over a new reference (the result of most C API calls); null stays null.
    static PyRef Steal(PyObject* object) { return PyRef(object); }
    // Adds a reference to a borrowed object.
    static PyRef Borrow(PyObject* object) {
        Py_XINCREF(object);
        return PyRef(object);
    }

    PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        if (this != &other) {
            PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
            Py_XDECREF(old);
        }
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference to the caller (for returning a new reference to Python).
    PyObject* release() { return std::exchange(object_, nullptr); }

private:
    explicit PyRef(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace korvane
