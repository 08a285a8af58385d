// binding.cpp: the picture kit as vornhold._kit, the extension under the Python package vornhold.
//
// Marshalling only: each call is one of the kit's operations, every decision is the kit's, every refusal is the kit's text raised as the vornhold.Error of its kind,
// and every note is the kit's text warned as a vornhold.Note. The kit's calls run without the GIL,
// on copies of the Python bytes they work on.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "operations.h"
#include "vorn.h"

namespace py = pybind11;

namespace {

// The exception class of each kit::fault, indexed by it (none: the base class), and the warning
// class of notes; made when the module is imported and kept for the interpreter's life.
PyObject* error_of[5];
PyObject* note_class;

// The kit's texts are UTF-8 but for names given as a path's raw bytes, which come back as
// os.fsdecode() gives them.
py::str text_of(const std::string& text)
{
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), Py_ssize_t(text.size()), "surrogateescape");
    if (!decoded) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(decoded);
}

void check(const kit::status& status)
{
    if (status.ok()) return;
    PyErr_SetObject(error_of[int(status.kind)], text_of(status.text).ptr());
    throw py::error_already_set();
}

// Runs kit calls whose inputs are out of Python already, so that other threads run meanwhile.
template <typename Call>
void without_gil(Call call)
{
    kit::status status;
    {
        py::gil_scoped_release released;
        status = call();
    }
    check(status);
}

// Warns each note (an empty one says nothing), pointing at the line that called the vornhold
// function: warnings.warn's frame 1 is that function's own.
void warn(const std::vector<std::string>& notes)
{
    for (const std::string& note : notes)
        if (!note.empty()) py::module_::import("warnings").attr("warn")(text_of(note), py::handle(note_class), 2);
}

// A Python object's buffer, held while this lives.
class held_buffer {
public:
    held_buffer(py::handle object, int flags)
    {
        if (PyObject_GetBuffer(object.ptr(), &view, flags) != 0) throw py::error_already_set();
    }
    ~held_buffer() { PyBuffer_Release(&view); }
    held_buffer(const held_buffer&) = delete;
    held_buffer& operator=(const held_buffer&) = delete;

    Py_buffer view{};
};

// A bytes-like object's bytes, as the kit takes a file.
kit::bytes bytes_of(py::handle file)
{
    held_buffer held(file, PyBUF_SIMPLE);
    const auto* begin = static_cast<const uint8_t*>(held.view.buf);
    return kit::bytes(begin, begin + held.view.len);
}

py::bytes python_bytes(const kit::bytes& bytes)
{
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A picture given as file bytes, copied out of Python for the kit.
kit::picture_file file_of(py::handle file, const std::string& name)
{
    return {name, bytes_of(file)};
}

// The password as the kit takes it, wiped when this goes: the str's UTF-8, lone surrogates
// passed through ("surrogatepass") so that a str that is no text reaches the kit, which refuses
// it in its own words.
class password_given {
public:
    explicit password_given(py::handle password)
    {
        if (password.is_none()) return;
        if (!PyUnicode_Check(password.ptr())) throw py::type_error("the password is a str");
        const py::object encoded = py::reinterpret_steal<py::object>(
            PyUnicode_AsEncodedString(password.ptr(), "utf-8", "surrogatepass"));
        if (!encoded) throw py::error_already_set();
        char* data = nullptr;
        Py_ssize_t length = 0;
        PyBytes_AsStringAndSize(encoded.ptr(), &data, &length);
        given = true;
        text.assign(data, size_t(length));
        // The encoded copy is this call's own object, to be cleared too, unless Python handed out
        // one of the one-byte objects it shares.
        if (Py_REFCNT(encoded.ptr()) == 1) std::memset(data, 0, size_t(length));
    }
    ~password_given() { kit::wipe(text); }
    password_given(const password_given&) = delete;
    password_given& operator=(const password_given&) = delete;

    bool given = false;
    std::string text;
};

// ---- The module's calls (vornhold/__init__.py gives them their Python face) -------------------

// A picture given as pixels (height x width x 3 or 4 uint8, C order, the top row first) as the
// BMP file the engine writes for pixels from elsewhere, which is then read like any file.
py::bytes bmp_of_pixels(py::handle pixels, const std::string& name)
{
    held_buffer held(pixels, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT);
    const Py_buffer& view = held.view;
    // An exporter may leave the format out, which then means unsigned bytes.
    if (view.itemsize != 1 || (view.format && std::strcmp(view.format, "B") != 0))
        throw py::type_error(name + ": an array picture holds uint8 values");
    if (view.ndim != 3 || (view.shape[2] != 3 && view.shape[2] != 4))
        throw py::value_error(name + ": an array picture is height x width x 3 (RGB) or 4 (RGBA)");
    size_t length = 0;
    const bool sized = uint64_t(view.shape[0]) <= UINT32_MAX && uint64_t(view.shape[1]) <= UINT32_MAX;
    const vorn_error error = sized ? vorn_bmp_length(uint32_t(view.shape[1]), uint32_t(view.shape[0]), &length)
                                   : VORN_ERR_FILE_TOO_LONG;
    if (error != VORN_OK) check({kit::fault::input, name + ": " + vorn_strerror(error)});
    // A new bytes object is its maker's to fill until it is handed out.
    py::bytes bmp = py::reinterpret_steal<py::bytes>(PyBytes_FromStringAndSize(nullptr, Py_ssize_t(length)));
    if (!bmp) throw py::error_already_set();
    auto* out = reinterpret_cast<uint8_t*>(PyBytes_AS_STRING(bmp.ptr()));
    {
        py::gil_scoped_release released;
        vorn_bmp_from_rgb(static_cast<const uint8_t*>(view.buf), uint32_t(view.shape[1]), uint32_t(view.shape[0]),
                          size_t(view.strides[0]), int(view.shape[2]), out, length);
    }
    return bmp;
}

py::bytes encode(py::handle carrier, const std::string& carrier_name, py::handle hidden1,
                 const std::string& hidden1_name, py::handle hidden2, const std::string& hidden2_name,
                 const std::string& build_word, const std::string& fit_word, py::handle password_object,
                 const std::string& format_word, const std::string& form_word, unsigned carrier_bits)
{
    kit::hide_options asked;
    check(kit::format_from_word(format_word, asked.format));
    check(kit::build_from_word(build_word, asked.build));
    check(kit::fit_from_word(fit_word, asked.fit));
    if (!form_word.empty()) {  // empty: the kit's default form
        kit::hiding_form form;
        check(kit::form_from_word(form_word, form));
        asked.form = form;
    }
    asked.carrier_bits = carrier_bits;
    const password_given password(password_object);
    if (password.given) asked.password = [&](std::string& typed) { typed = password.text; return kit::status(); };
    asked.words = kit::python_words();
    std::optional<kit::picture_file> given[2];
    if (!hidden1.is_none()) given[0] = file_of(hidden1, hidden1_name);
    if (!hidden2.is_none()) given[1] = file_of(hidden2, hidden2_name);
    kit::picture_file carrier_file = file_of(carrier, carrier_name);
    kit::hide_outcome hidden;
    kit::status status;
    {
        py::gil_scoped_release released;
        status = kit::hide_pictures(std::move(carrier_file), std::move(given[0]), std::move(given[1]),
                                    asked, hidden);
    }
    warn(hidden.notes);
    check(status);
    return python_bytes(hidden.coded);
}

// A picture the kit made as an array of height x width x 3 uint8, the top row first.
py::array_t<uint8_t> pixels_of(const kit::bytes& image)
{
    vorn_geometry geometry;
    vorn_check_carrier(image.data(), image.size(), &geometry);  // the kit's own output
    py::array_t<uint8_t> pixels({size_t(geometry.height), size_t(geometry.width), size_t(3)});
    uint8_t* out = pixels.mutable_data();
    const size_t length = size_t(pixels.size());
    {
        py::gil_scoped_release released;
        vorn_bmp_to_rgb(image.data(), image.size(), out, length);
    }
    return pixels;
}

py::dict decode(py::handle coded_file, const std::string& name, const std::optional<std::string>& hidden_word,
                const std::optional<std::string>& build_word, py::handle password_object, bool raw, bool as_arrays)
{
    kit::take_out_options asked;
    if (hidden_word) {
        kit::content holds;
        check(kit::content_from_word(*hidden_word, holds));
        asked.holds = holds;
    }
    if (build_word) {
        vorn_build build;
        check(kit::build_from_word(*build_word, build));
        asked.build = build;
    }
    const password_given password(password_object);
    if (password.given) asked.password = [&](std::string& typed) { typed = password.text; return kit::status(); };
    asked.raw = raw;
    asked.format = as_arrays ? kit::output_format::bmp : kit::output_format::png;
    asked.words = kit::python_words();
    kit::picture_file coded = file_of(coded_file, name);
    std::vector<kit::taken_picture> pictures;
    kit::take_out_outcome taken;
    kit::status status;
    {
        py::gil_scoped_release released;
        status = kit::take_out_pictures(
            std::move(coded), asked,
            [&](kit::taken_picture&& picture) {
                pictures.push_back(std::move(picture));
                return kit::status();
            },
            taken);
    }
    warn(taken.notes);
    check(status);
    py::dict out;
    for (kit::taken_picture& picture : pictures) {
        if (as_arrays)
            out[py::int_(picture.which)] = pixels_of(picture.file);
        else
            out[py::int_(picture.which)] = python_bytes(picture.file);
        picture.file = kit::bytes();
    }
    return out;
}

py::bytes reveal(py::handle picture_file, const std::string& name, const std::string& format_word)
{
    kit::reveal_options asked;
    check(kit::format_from_word(format_word, asked.format, true));
    asked.words = kit::python_words();
    kit::picture_file picture = file_of(picture_file, name);
    kit::bytes revealed;
    without_gil([&] { return kit::reveal_picture(std::move(picture), asked, revealed); });
    return python_bytes(revealed);
}

// Makes a class of the module, named as vornhold's own, from `bases` (a class or a tuple).
PyObject* new_class(py::module_& module, const char* name, const char* doc, py::handle bases)
{
    const std::string qualified = std::string("vornhold.") + name;
    PyObject* made = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), nullptr);
    if (!made) throw py::error_already_set();
    module.add_object(name, made);
    return made;
}

}  // namespace

PYBIND11_MODULE(_kit, module)
{
    module.doc() = "The picture kit under vornhold; use the vornhold package.";
    PyObject* error = new_class(module, "Error", "A refusal of the picture kit; its text says why.", PyExc_Exception);
    error_of[int(kit::fault::none)] = error;
    error_of[int(kit::fault::usage)] = new_class(
        module, "UsageError", "What was asked for cannot be: an unknown word, a password without a hidden picture.",
        error);
    error_of[int(kit::fault::input)] =
        new_class(module, "InputError", "An input cannot be read or used, a wrong password, nothing hidden.", error);
    error_of[int(kit::fault::output)] = new_class(module, "OutputError", "An output cannot be made.", error);
    error_of[int(kit::fault::memory)] = new_class(module, "MemoryError", "The pictures do not fit in memory.",
                                                  py::make_tuple(py::handle(error), py::handle(PyExc_MemoryError)));
    note_class = new_class(module, "Note", "What was done to the pictures on the way, or what was guessed.",
                           PyExc_UserWarning);
    module.attr("__version__") = VORN_VERSION_STRING;

    module.def("has_keyed", &kit::has_keyed);
    module.def("bmp_of_pixels", &bmp_of_pixels, py::arg("pixels"), py::arg("name"));
    module.def("encode", &encode, py::arg("carrier"), py::arg("carrier_name"), py::arg("hidden1"),
               py::arg("hidden1_name"), py::arg("hidden2"), py::arg("hidden2_name"), py::arg("build"), py::arg("fit"),
               py::arg("password"), py::arg("format"), py::arg("form"), py::arg("carrier_bits"));
    module.def("decode", &decode, py::arg("coded"), py::arg("name"), py::arg("hidden"), py::arg("build"),
               py::arg("password"), py::arg("raw"), py::arg("as_arrays"));
    module.def("reveal", &reveal, py::arg("picture"), py::arg("name"), py::arg("format"));
}
