// The Python module lumera: the public library with bytes in and bytes out. Inputs are
// any contiguous buffer (bytes, bytearray, memoryview); the GIL is released while the
// codec runs, and lumera::Error becomes lumera.LumeraError with the same fields.
#include <lumera/lumera.h>
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// A read-only view of any object that exports a contiguous buffer, released on every
// path. While it is held, the exporter cannot resize the memory, so the codec may read
// it without the GIL.
class TBufferView {
 public:
  explicit TBufferView(const py::object& object) {
    if (PyObject_GetBuffer(object.ptr(), &FView, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  }
  ~TBufferView() { PyBuffer_Release(&FView); }
  TBufferView(const TBufferView&) = delete;
  TBufferView& operator=(const TBufferView&) = delete;

  std::span<const uint8_t> Bytes() const {
    return {static_cast<const uint8_t*>(FView.buf), static_cast<size_t>(FView.len)};
  }

 private:
  Py_buffer FView{};
};

py::bytes ToBytes(const std::vector<uint8_t>& bytes) {
  return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

const char* KindName(lumera::ErrorKind kind) {
  switch (kind) {
    case lumera::ErrorKind::InvalidStream:
      return "InvalidStream";
    case lumera::ErrorKind::TooLarge:
      return "TooLarge";
    case lumera::ErrorKind::OutputLimit:
      return "OutputLimit";
    case lumera::ErrorKind::BadExecutable:
      break;
  }
  return "BadExecutable";
}

py::object Optional(std::optional<uint64_t> value) {
  return value ? py::object(py::int_(*value)) : py::object(py::none());
}

const char* TypeName(lumera::EventType type) {
  switch (type) {
    case lumera::EventType::Literal:
      return "literal";
    case lumera::EventType::Repeat:
      return "repeat";
    case lumera::EventType::End:
      break;
  }
  return "end";
}

// The keys and values of lumera-explain --json's event lines.
py::dict EventDict(const lumera::Event& e) {
  py::dict d;
  d["type"] = TypeName(e.type);
  d["out"] = e.out;
  d["depth"] = e.depth;
  d["bits"] = e.bits;
  d["info"] = e.info;
  if (e.type == lumera::EventType::Literal) {
    d["byte"] = e.byte;
    d["escaped"] = e.escaped;
  } else if (e.type == lumera::EventType::Repeat) {
    d["code"] = e.code;
    d["from"] = e.from;
    d["len"] = e.len;
  }
  return d;
}

py::dict ResourceDict(const lumera::Resource& r) {
  py::dict d;
  d["type"] = r.type;
  d["type_id"] = r.type_id;
  d["name"] = r.name;
  d["id"] = r.id ? py::object(py::int_(*r.id)) : py::object(py::none());
  d["language"] = r.language;
  d["size"] = r.size;
  d["file_offset"] = r.file_offset;
  d["error"] = r.error.empty() ? py::object(py::none()) : py::object(py::str(r.error));
  return d;
}

}  // namespace

PYBIND11_MODULE(lumera, m) {
  m.doc() = "The Lumera stream format: compress, decompress, explain, and IDR_LUMERA resources.";
  m.attr("__version__") = lumera::Version();

  static py::exception<lumera::Error> error(m, "LumeraError");
  py::register_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const lumera::Error& e) {
      py::object instance = py::handle(error.ptr())(py::str(e.what()));
      instance.attr("kind") = KindName(e.kind());
      instance.attr("class_name") = e.class_name();
      instance.attr("message") = e.message();
      instance.attr("out_offset") = Optional(e.out_offset());
      instance.attr("source_offset") = Optional(e.source_offset());
      instance.attr("input_offset") = Optional(e.input_offset());
      PyErr_SetObject(error.ptr(), instance.ptr());
    }
  });

  m.def(
      "decompress",
      [](const py::object& data, uint64_t maxOutput) {
        const TBufferView view(data);
        std::vector<uint8_t> out;
        {
          py::gil_scoped_release released;
          out = lumera::Decompress(view.Bytes(), {maxOutput});
        }
        return ToBytes(out);
      },
      py::arg("data"), py::arg("max_output") = lumera::DecompressOptions::kDefaultMaxOutput,
      "Decode a whole stream. Raises LumeraError on a bad stream or past max_output bytes.");

  m.def(
      "compress",
      [](const py::object& data, int level) {
        const TBufferView view(data);
        std::vector<uint8_t> out;
        {
          py::gil_scoped_release released;
          out = lumera::Compress(view.Bytes(), {level});
        }
        return ToBytes(out);
      },
      py::arg("data"), py::arg("level") = 1,
      "A stream that decodes to exactly data; level 1 (fast) to 9 (smallest).");

  m.def(
      "explain",
      [](const py::object& data, uint64_t maxOutput) {
        const TBufferView view(data);
        std::vector<lumera::Event> events;
        {
          py::gil_scoped_release released;
          lumera::Explain(view.Bytes(), [&](const lumera::Event& e) { events.push_back(e); },
                          {maxOutput});
        }
        py::list result;
        for (const lumera::Event& e : events) result.append(EventDict(e));
        return result;
      },
      py::arg("data"), py::arg("max_output") = lumera::DecompressOptions::kDefaultMaxOutput,
      "The events of a stream, as lumera-explain --json gives them.");

  m.def(
      "list_resources",
      [](const py::object& exe) {
        const TBufferView view(exe);
        std::vector<lumera::Resource> resources;
        {
          py::gil_scoped_release released;
          resources = lumera::ListResources(view.Bytes());
        }
        py::list result;
        for (const lumera::Resource& r : resources) result.append(ResourceDict(r));
        return result;
      },
      py::arg("exe"), "Every resource of a PE executable.");

  m.def(
      "find_resource",
      [](const py::object& exe, const std::string& name, uint16_t type,
         std::optional<uint16_t> language) {
        const TBufferView view(exe);
        lumera::FoundResource found;
        {
          py::gil_scoped_release released;
          found = lumera::FindResource(view.Bytes(), name, type, language);
        }
        return ToBytes(found.bytes);
      },
      py::arg("exe"), py::arg("name") = "IDR_LUMERA", py::arg("type") = lumera::kRtRcdata,
      py::arg("language") = py::none(),
      "The bytes of a resource: by name (or \"#101\" for an ID), type and language.");

  m.def(
      "replace_resource",
      [](const py::object& exe, const py::object& stream, const std::string& name, uint16_t type,
         std::optional<uint16_t> language, bool stripSignature, std::optional<int> level) {
        const TBufferView exeView(exe);
        const TBufferView streamView(stream);
        std::vector<uint8_t> out;
        {
          py::gil_scoped_release released;
          out = lumera::ReplaceResource(exeView.Bytes(), streamView.Bytes(), {name, type, language},
                                        {stripSignature, level});
        }
        return ToBytes(out);
      },
      py::arg("exe"), py::arg("stream"), py::arg("name") = "IDR_LUMERA",
      py::arg("type") = lumera::kRtRcdata, py::arg("language") = py::none(),
      py::arg("strip_signature") = false, py::arg("level") = py::none(),
      "A new executable whose resource holds stream, grown when the stream does not fit. With "
      "level, stream is plain text, packed at that level first. A signed executable is refused "
      "unless strip_signature is set.");
}
