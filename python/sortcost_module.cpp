// SPDX-License-Identifier: MIT
// The extension behind the Python package `sortcost`: the library's costs,
// one input at a time or many on several threads, its reader, and a
// corpus's scores computed on several threads.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pool.h"
#include "scoring.h"
#include "sortcost/costs.h"

namespace py = pybind11;

namespace {

// Below this many bytes a cost takes less time than handing the GIL back
// and forth; from it on, other Python threads run while it is computed.
constexpr Py_ssize_t release_gil_from = 4096;

// The bytes of any object with the buffer protocol, in memory order; a view
// that is not contiguous is refused (BufferError) rather than guessed at.
struct byte_view {
    Py_buffer view{};
    explicit byte_view(py::handle obj) {
        if (PyObject_GetBuffer(obj.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    }
    ~byte_view() { PyBuffer_Release(&view); }
    byte_view(const byte_view&) = delete;
    byte_view& operator=(const byte_view&) = delete;
};

template <std::uint64_t (*Cost)(const void*, std::size_t)>
std::uint64_t cost_of(py::handle buf) {
    byte_view b(buf);
    const auto size = static_cast<std::size_t>(b.view.len);
    std::uint64_t cost;
    if (b.view.len >= release_gil_from) {
        // The exporter keeps the bytes where they are while the view lives.
        py::gil_scoped_release unlocked;
        cost = Cost(b.view.buf, size);
    } else {
        cost = Cost(b.view.buf, size);
    }
    // No input costs 0: the library had no memory for its copy.
    if (cost == 0) {
        PyErr_NoMemory();
        throw py::error_already_set();
    }
    return cost;
}

// A path as the file system takes it: str, bytes or os.PathLike.
std::string fs_path(py::handle obj) {
    PyObject* encoded = nullptr;
    if (!PyUnicode_FSConverter(obj.ptr(), &encoded)) throw py::error_already_set();
    py::bytes b = py::reinterpret_steal<py::bytes>(encoded);
    return std::string(b);
}

py::str fs_name(const std::string& path) {
    PyObject* s = PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

// OSError(errno, "STEP: REASON", path): the subclass Python picks for the
// error number (FileNotFoundError, ...), and the step the read failed at.
[[noreturn]] void raise_os_error(int err, const std::string& message, py::handle path) {
    PyObject* e = PyObject_CallFunction(PyExc_OSError, "isO", err, message.c_str(), path.ptr());
    if (e) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(e)), e);
        Py_DECREF(e);
    }
    throw py::error_already_set();
}

std::string describe(const char* step, int err) {
    // A read of fewer bytes than the file's size sets no error number.
    return std::string(step) + ": " + (err ? std::strerror(err) : short_read);
}

py::bytes read_input(py::handle path) {
    const std::string p = fs_path(path);
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size;
    int err;
    {
        py::gil_scoped_release unlocked;
        size = sortcost_read_input(p.c_str(), &data, &step);
        err = errno;
    }
    if (size < 0) raise_os_error(err, describe(step, err), path);
    py::bytes out(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    std::free(data);
    return out;
}

const sortcost::program_info& program_named(py::handle name) {
    if (!PyUnicode_Check(name.ptr())) throw py::type_error("the program is a name: isort_words, qsort_words or qsort_bytes");
    const std::string n = py::cast<std::string>(name);
    const sortcost::program_info* p = sortcost::find_program(n.c_str());
    if (!p) throw py::value_error("no such program: " + n);
    return *p;
}

unsigned thread_count(py::handle threads, const char* what) {
    if (threads.is_none()) return available_cores();
    const long t = py::cast<long>(threads);
    if (t < 1 || t > max_workers)
        throw py::value_error(std::string(what) + " must be a whole number from 1 to " + std::to_string(max_workers));
    return static_cast<unsigned>(t);
}

// The costs of many inputs: a 2-D C-contiguous array of uint8, one input a
// row, or any sequence of buffers. All are held while the workers cost them
// with the GIL released, in runs taken in turn.
py::array_t<std::uint64_t> costs(py::handle program, py::handle inputs, py::handle threads) {
    const sortcost::program_info& p = program_named(program);
    const unsigned workers = thread_count(threads, "threads");
    struct input {
        const void* data;
        std::size_t size;
    };
    std::vector<input> items;
    std::vector<std::unique_ptr<byte_view>> views;
    if (py::isinstance<py::array>(inputs)) {
        const py::array a = py::reinterpret_borrow<py::array>(inputs);
        if (a.ndim() != 2 || !a.dtype().is(py::dtype::of<std::uint8_t>()) ||
            !(a.flags() & py::array::c_style))
            throw py::value_error("an array of inputs is 2-D, of uint8, C-contiguous: one input a row");
        views.push_back(std::make_unique<byte_view>(inputs));
        const auto rows = static_cast<std::size_t>(a.shape(0)), width = static_cast<std::size_t>(a.shape(1));
        const auto* base = static_cast<const unsigned char*>(views.back()->view.buf);
        for (std::size_t r = 0; r < rows; ++r) items.push_back({base + r * width, width});
    } else {
        for (py::handle obj : inputs) {
            views.push_back(std::make_unique<byte_view>(obj));
            items.push_back({views.back()->view.buf, static_cast<std::size_t>(views.back()->view.len)});
        }
    }
    py::array_t<std::uint64_t> out(static_cast<py::ssize_t>(items.size()));
    std::uint64_t* result = out.mutable_data();
    {
        py::gil_scoped_release unlocked;
        for_each_run(items.size(), workers, 64, [&](unsigned, std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i) result[i] = p.cost(items[i].data, items[i].size);
        });
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        if (result[i] == 0) {
            PyErr_NoMemory();  // no input costs 0: the library had no memory for a copy
            throw py::error_already_set();
        }
    return out;
}

py::list score(py::handle paths, py::handle programs, py::handle jobs, bool hidden) {
    // One path, or an iterable of them.
    std::vector<std::string> roots;
    if (PyUnicode_Check(paths.ptr()) || PyBytes_Check(paths.ptr()) || PyObject_HasAttrString(paths.ptr(), "__fspath__"))
        roots.push_back(fs_path(paths));
    else
        for (py::handle p : paths) roots.push_back(fs_path(p));

    std::vector<std::size_t> columns;
    if (programs.is_none()) {
        for (std::size_t i = 0; i < sortcost::program_count; ++i) columns.push_back(i);
    } else {
        for (py::handle name : programs) {
            const std::size_t index = sortcost::program_index(program_named(name));
            bool listed = false;
            for (std::size_t c : columns) listed = listed || c == index;
            if (!listed) columns.push_back(index);
        }
    }
    const unsigned threads = thread_count(jobs, "jobs");

    std::vector<corpus_entry> entries;
    std::vector<score_row> rows;
    {
        py::gil_scoped_release unlocked;
        entries = list_corpus(roots, hidden);
    }
    for (const corpus_entry& e : entries)
        if (e.unlisted) raise_os_error(e.unlisted, std::strerror(e.unlisted), fs_name(e.path));
    {
        py::gil_scoped_release unlocked;
        score_corpus(entries, columns, threads, worker_kind::threads,
                     [&](const corpus_entry&, const score_row* r) { rows.push_back(*r); });
    }

    py::list out;
    for (const score_row& r : rows) {
        py::dict row;
        row["path"] = fs_name(r.path);
        row["bytes"] = r.readable ? py::object(py::int_(r.bytes)) : py::object(py::none());
        for (std::size_t c : columns) row[sortcost::programs[c].name] = py::int_(r.costs[c]);
        if (!r.failed_step.empty()) row["error"] = read_error(r);
        out.append(row);
    }
    return out;
}

}  // namespace

PYBIND11_MODULE(_sortcost, m) {
    m.doc() =
        "The cost each sortcost benchmark program reports for an input, computed in\n"
        "this process: exactly the number the program prints as \"[COST] N\" for a\n"
        "file holding the same bytes. Safe to call from any number of threads.";
    m.attr("__version__") = sortcost_version();
    py::tuple names(sortcost::program_count);
    py::dict sizes;
    for (std::size_t i = 0; i < sortcost::program_count; ++i) {
        names[i] = sortcost::programs[i].name;
        sizes[sortcost::programs[i].name] = sortcost::programs[i].element_size;
    }
    m.attr("programs") = names;
    m.attr("element_sizes") = sizes;  // bytes per element, by program
    m.def("qsort_words_cost", &cost_of<sortcost_qsort_words_cost>, py::arg("buf"),
          "The cost qsort_words reports for a file holding buf's bytes (any object\n"
          "with the buffer protocol: bytes, bytearray, memoryview, a contiguous\n"
          "NumPy array). An empty buffer costs 2, as an empty file does.");
    m.def("qsort_bytes_cost", &cost_of<sortcost_qsort_bytes_cost>, py::arg("buf"),
          "The cost qsort_bytes reports for a file holding buf's bytes.");
    m.def("isort_words_cost", &cost_of<sortcost_isort_words_cost>, py::arg("buf"),
          "The cost isort_words reports for a file holding buf's bytes.");
    m.def("costs", &costs, py::arg("program"), py::arg("inputs"), py::arg("threads") = py::none(),
          "The costs program (a name: isort_words, qsort_words or qsort_bytes)\n"
          "reports for many inputs, as a NumPy array of uint64 in their order:\n"
          "inputs is a 2-D C-contiguous uint8 array (one input a row) or any\n"
          "sequence of buffers. Computed on `threads` threads (default: the\n"
          "cores available) while other Python threads run; each cost is the\n"
          "one-input call's.");
    m.def("read_input", &read_input, py::arg("path"),
          "The bytes of the file at path, read as the programs read their input.\n"
          "Raises OSError naming the failed step (\"open_file: ...\", \"fread: ...\")\n"
          "where the programs would fail and report a cost of 2.");
    m.def("score", &score, py::arg("paths"), py::arg("programs") = py::none(), py::arg("jobs") = py::none(),
          py::arg("hidden") = false,
          "The rows sortcost-score prints for paths (a path or a list of them;\n"
          "a directory stands for every file below it, in sorted order), as dicts:\n"
          "path, bytes (None if unreadable), one cost per program, and error for a\n"
          "file that cannot be read. Names beginning with '.' inside a directory\n"
          "are passed over unless hidden is true. Scored on `jobs` threads (default: the cores\n"
          "available); the rows are the same for any number. Raises OSError for a\n"
          "directory that cannot be listed, ValueError for an unknown program.");
}
