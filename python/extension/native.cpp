// zorvane._native: the C++ library for Python. The pure-Python layer turns
// whatever the user passes into float32 arrays and mode numbers; this side
// takes exactly those, so nothing here copies or converts an array.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/pybind11.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

namespace py = pybind11;

namespace {

using Prices = py::array_t<float, py::array::c_style>;

// How the six warm-up bars are given to Python: NaN, or the marker's bits.
enum class Warmup { Nan, Marker };

Warmup parseWarmup(const std::string& name) {
    if (name == "nan") return Warmup::Nan;
    if (name == "marker") return Warmup::Marker;
    throw py::value_error("warmup must be \"nan\" or \"marker\", not \"" + name + "\"");
}
const char* warmupName(Warmup warmup) { return warmup == Warmup::Nan ? "nan" : "marker"; }

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

// One mode over the bars into `out` (a fresh array when None), without the
// GIL: other Python threads run meanwhile.
py::array_t<float> compute(const Prices& high, const Prices& low, int mode, const std::string& warmup,
                           py::object out) {
    const Warmup warm = parseWarmup(warmup);
    if (high.ndim() != 1 || low.ndim() != 1) throw py::value_error("prices must be 1-D");
    const auto count = static_cast<std::size_t>(high.shape(0));
    if (static_cast<std::size_t>(low.shape(0)) != count)
        throw py::value_error("high and low differ in length");
    if (!out.is_none() && !Prices::check_(out))
        throw py::type_error("out must be a C-contiguous float32 array");
    Prices result =
        out.is_none() ? Prices(static_cast<py::ssize_t>(count)) : py::reinterpret_borrow<Prices>(out);
    if (result.ndim() != 1 || static_cast<std::size_t>(result.shape(0)) != count)
        throw py::value_error("out must be 1-D and as long as the prices");
    float* output = result.mutable_data();
    {
        py::gil_scoped_release unlocked;
        zorvane::compute(high.data(), low.data(), count, static_cast<zorvane::Mode>(mode), output);
    }
    if (warm == Warmup::Nan)
        for (std::size_t j = 0; j < count && j < ZORVANE_WARMUP_BARS; ++j) output[j] = kNan;
    return result;
}

// Several modes from one measurement of each run of bars: runs holds the
// first bar of each run and, last, the end of the last (None: one run of
// every bar); each run is computed as a series of its own, as symbols are.
// Returns one fresh 2-D array, a row per mode in the order of `modes`: one
// allocation instead of one per mode, and a frame takes it as its one block
// of columns without copying. Without the GIL.
Prices computeModes(const Prices& high, const Prices& low, const std::vector<int>& modes,
                    const std::string& warmup, py::object runs) {
    const Warmup warm = parseWarmup(warmup);
    if (high.ndim() != 1 || low.ndim() != 1) throw py::value_error("prices must be 1-D");
    const auto count = static_cast<std::size_t>(high.shape(0));
    if (static_cast<std::size_t>(low.shape(0)) != count) throw py::value_error("high and low differ in length");
    std::vector<std::int64_t> bounds = {0, static_cast<std::int64_t>(count)};
    if (!runs.is_none()) bounds = runs.cast<std::vector<std::int64_t>>();
    for (std::size_t k = 1; k < bounds.size(); ++k)
        if (bounds[k] < bounds[k - 1] || bounds[0] < 0 || static_cast<std::size_t>(bounds[k]) > count)
            throw py::value_error("runs must rise from 0 to at most the number of bars");
    float* byMode[4] = {};
    Prices rows({static_cast<py::ssize_t>(modes.size()), static_cast<py::ssize_t>(count)});
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const int mode = modes[i];
        if (mode < 1 || mode > 4 || byMode[mode - 1]) throw py::value_error("modes must be distinct, 1 to 4");
        byMode[mode - 1] = rows.mutable_data() + i * count;
    }
    const float* a = high.data();
    const float* b = low.data();
    {
        py::gil_scoped_release unlocked;
        for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
            const auto first = static_cast<std::size_t>(bounds[k]);
            const std::size_t bars = static_cast<std::size_t>(bounds[k + 1]) - first;
            auto at = [first](float* out) { return out ? out + first : nullptr; };
            const zorvane::Outputs outputs{at(byMode[0]), at(byMode[1]), at(byMode[2]), at(byMode[3])};
            zorvane::compute(a + first, b + first, bars, outputs);
            if (warm == Warmup::Nan)
                for (float* out : byMode)
                    for (std::size_t j = 0; out && j < bars && j < ZORVANE_WARMUP_BARS; ++j) out[first + j] = kNan;
        }
    }
    return rows;
}

// zorvane.Oscillator: the streaming object, with Python's view of the
// warm-up bars. Calls hold the GIL: a bar costs less than releasing it would.
class Streaming {
public:
    Streaming(const std::string& warmup, py::object barType)
        : warmup_(parseWarmup(warmup)), barType_(std::move(barType)) {}

    py::object push(float high, float low) { return bar(oscillator_.push(high, low)); }
    py::object revise(float high, float low) {
        if (oscillator_.bars() == 0)
            throw std::runtime_error("revise: no bar pushed since creation or reset");
        return bar(oscillator_.revise(high, low));
    }
    void reset() { oscillator_.reset(); }
    std::int64_t bars() const { return oscillator_.bars(); }
    int period() const { return oscillator_.period(); }
    std::string warmup() const { return warmupName(warmup_); }

    // Pickled as the warm-up setting and the object's state bytes.
    py::tuple pickled() const {
        const std::vector<unsigned char> bytes = oscillator_.toBytes();
        return py::make_tuple(warmup(), py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    static Streaming unpickled(const py::tuple& saved, py::object barType) {
        if (saved.size() != 2) throw py::value_error("not a pickled zorvane.Oscillator");
        Streaming s(saved[0].cast<std::string>(), std::move(barType));
        const std::string_view bytes = saved[1].cast<py::bytes>();
        s.oscillator_ = zorvane::Oscillator::fromBytes(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                       bytes.size());
        return s;
    }

private:
    // The named tuple of the bar just computed, made as tuple.__new__ makes
    // it (the named tuple's own __new__ would run Python code).
    py::object bar(const zorvane::BarOutputs& out) const {
        const bool hide = warmup_ == Warmup::Nan && oscillator_.bars() <= ZORVANE_WARMUP_BARS;
        auto value = [hide](float v) { return py::float_(hide ? kNan : v); };
        const py::tuple fields = py::make_tuple(value(out.cycleAverage), value(out.smoothedPrice),
                                                value(out.sine), value(out.leadSine));
        const auto type = reinterpret_cast<PyTypeObject*>(barType_.ptr());
        PyObject* made = PyTuple_Type.tp_new(type, py::make_tuple(fields).ptr(), nullptr);
        if (!made) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(made);
    }

    zorvane::Oscillator oscillator_;
    Warmup warmup_;
    py::object barType_;
};

// The named tuple push and revise return, zorvane.Bar.
py::object makeBarType() {
    py::object type = py::module_::import("collections")
                          .attr("namedtuple")(
                              "Bar", py::make_tuple("cycle_average", "smoothed_price", "sine", "lead_sine"));
    type.attr("__module__") = "zorvane";
    type.attr("__doc__") = "One bar's value in every mode.";
    return type;
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The Zorvane Oscillator's C++ library; use the zorvane package, not this module.";
    m.attr("VERSION") = ZORVANE_VERSION_STRING;
    m.attr("NO_VALUE_BITS") = ZORVANE_NO_VALUE_BITS;
    m.attr("WARMUP_BARS") = ZORVANE_WARMUP_BARS;

    m.def("compute", &compute, py::arg("high").noconvert(), py::arg("low").noconvert(), py::arg("mode"),
          py::arg("warmup"), py::arg("out") = py::none(),
          "One mode over float32 C-contiguous prices; the GIL is released meanwhile.");

    m.def("compute_modes", &computeModes, py::arg("high").noconvert(), py::arg("low").noconvert(),
          py::arg("modes"), py::arg("warmup"), py::arg("runs") = py::none(),
          "Several modes over float32 C-contiguous prices from one measurement per run of bars.");

    const py::object barType = makeBarType();
    m.attr("Bar") = barType;

    py::class_<Streaming> oscillator(m, "Oscillator",
                                     R"(Streams bars: all four modes of each bar as it arrives.

Oscillator(warmup="nan"): the first six bars give NaN, or with
warmup="marker" the no-value marker's float.)");
    oscillator.attr("__module__") = "zorvane";  // pickles refer to zorvane.Oscillator
    oscillator
        .def(py::init([barType](const std::string& warmup) { return Streaming(warmup, barType); }),
             py::arg("warmup") = "nan")
        .def("push", &Streaming::push, py::arg("high"), py::arg("low"),
             "Adds the next bar and returns its Bar of outputs.")
        .def("revise", &Streaming::revise, py::arg("high"), py::arg("low"),
             "Replaces the prices of the last bar pushed (the bar still forming) and returns its new\n"
             "outputs, exactly as if it had been pushed with these prices.")
        .def("reset", &Streaming::reset, "Forgets every bar.")
        .def_property_readonly("bars", &Streaming::bars, "Bars pushed since creation or reset.")
        .def_property_readonly("period", &Streaming::period,
                               "Smoothed cycle period at the last bar, 0 until a cycle is found.")
        .def_property_readonly("warmup", &Streaming::warmup)
        .def("__copy__", [](const Streaming& s) { return Streaming(s); })
        .def(
            "__deepcopy__", [](const Streaming& s, py::dict) { return Streaming(s); }, py::arg("memo"))
        .def(py::pickle([](const Streaming& s) { return s.pickled(); },
                        [barType](const py::tuple& saved) { return Streaming::unpickled(saved, barType); }))
        .def("__repr__", [](const Streaming& s) {
            return "zorvane.Oscillator(bars=" + std::to_string(s.bars()) +
                   ", period=" + std::to_string(s.period()) + ", warmup=\"" + s.warmup() + "\")";
        });
}
