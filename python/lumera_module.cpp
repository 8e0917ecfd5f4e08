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
      return "BadExecutable";
    case lumera::ErrorKind::RefusedEvent:
      break;
  }
  return "RefusedEvent";
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

py::dict TailDict(const lumera::StreamTail& t) {
  py::dict d;
  d["code"] = t.code;
  d["bits_taken"] = t.bits_taken;
  d["unused_bit_count"] = t.unused_bit_count;
  d["unused_bits"] = t.unused_bits;
  d["bytes"] = ToBytes(t.trailing);
  d["code_left_share"] = t.code_left_share;
  return d;
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
    if (e.copy != 0) d["copy"] = e.copy;
  } else if (e.type == lumera::EventType::Repeat) {
    d["code"] = e.code;
    d["from"] = e.from;
    d["len"] = e.len;
  }
  return d;
}

// A field of an event's or a tail's dict, named with the event's index when it is
// missing or of the wrong type or size.
template <class T>
T Field(const py::dict& d, const char* key, size_t index) {
  const std::string where = "event " + std::to_string(index) + ": ";
  if (!d.contains(key)) throw py::key_error(where + "no \"" + key + "\"");
  const py::object value = d[key];
  const bool isBool = py::isinstance<py::bool_>(value);
  if (std::is_same_v<T, bool> != isBool || (!isBool && !py::isinstance<py::int_>(value))) {
    throw py::type_error(where + "\"" + key + "\" must be " +
                         (std::is_same_v<T, bool> ? "a bool" : "an int"));
  }
  try {
    return value.cast<T>();
  } catch (const py::cast_error&) {
    throw py::value_error(where + "\"" + key + "\" is out of range");
  }
}

lumera::Event EventOf(const py::handle& item, size_t index) {
  if (!py::isinstance<py::dict>(item)) {
    throw py::type_error("event " + std::to_string(index) + ": not a dict");
  }
  const py::dict d = py::reinterpret_borrow<py::dict>(item);
  const std::string type = d.contains("type") ? py::str(d["type"]).cast<std::string>() : "";
  lumera::Event e;
  if (type == TypeName(lumera::EventType::Literal)) {
    e.type = lumera::EventType::Literal;
    e.byte = Field<uint8_t>(d, "byte", index);
    e.escaped = Field<bool>(d, "escaped", index);
    if (d.contains("copy")) e.copy = Field<uint16_t>(d, "copy", index);
  } else if (type == TypeName(lumera::EventType::Repeat)) {
    e.type = lumera::EventType::Repeat;
    e.code = Field<uint8_t>(d, "code", index);
    e.len = Field<uint32_t>(d, "len", index);
  } else if (type == TypeName(lumera::EventType::End)) {
    e.type = lumera::EventType::End;
  } else {
    throw py::value_error("event " + std::to_string(index) + ": unknown type '" + type + "'");
  }
  return e;
}

// The tail that explain puts into the end event's dict.
std::optional<lumera::StreamTail> TailOf(const py::handle& item, size_t index) {
  if (!py::isinstance<py::dict>(item)) return std::nullopt;
  const py::dict event = py::reinterpret_borrow<py::dict>(item);
  if (!event.contains("tail") || event["tail"].is_none()) return std::nullopt;
  if (!py::isinstance<py::dict>(event["tail"])) {
    throw py::type_error("event " + std::to_string(index) + ": \"tail\" must be a dict");
  }
  const py::dict d = event["tail"];
  lumera::StreamTail tail;
  tail.code = Field<uint32_t>(d, "code", index);
  tail.bits_taken = Field<uint64_t>(d, "bits_taken", index);
  tail.unused_bit_count = Field<uint8_t>(d, "unused_bit_count", index);
  tail.unused_bits = Field<uint32_t>(d, "unused_bits", index);
  if (d.contains("code_left_share")) {
    tail.code_left_share = Field<bool>(d, "code_left_share", index);
  }
  if (!d.contains("bytes"))
    throw py::key_error("event " + std::to_string(index) + ": no \"bytes\"");
  const TBufferView bytes(d["bytes"]);
  tail.trailing.assign(bytes.Bytes().begin(), bytes.Bytes().end());
  return tail;
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

// max_output as lumera-pack takes --max-output: a byte count from 0 to the ceiling.
uint64_t MaxOutput(const py::int_& value) {
  const std::string text = py::repr(value);
  if (value < py::int_(0)) {
    throw py::value_error("max_output wants a byte count such as 1048576, not " + text);
  }
  if (value > py::int_(lumera::DecompressOptions::kMaxOutputCeiling)) {
    throw py::value_error("max_output " + text + " is past the ceiling of " +
                          std::to_string(lumera::DecompressOptions::kMaxOutputCeiling) + " bytes");
  }
  return value.cast<uint64_t>();
}

// A resource type as an int from 0 to 65535, or as text that lumera-pack --type takes.
std::string TypeText(const py::object& type) {
  if (py::isinstance<py::str>(type)) return type.cast<std::string>();
  if (!py::isinstance<py::int_>(type) || py::isinstance<py::bool_>(type)) {
    throw py::type_error("type wants an int or a str, not " +
                         std::string(py::str(type.get_type().attr("__name__"))));
  }
  const py::int_ id(type);
  if (id < py::int_(0) || id > py::int_(0xFFFF)) {
    throw py::value_error("type wants a number from 0 to 65535 or a name, not " +
                          std::string(py::repr(id)));
  }
  return std::to_string(id.cast<uint32_t>());
}

lumera::FoundResource FindResource(const py::object& exe, const std::string& name,
                                   const py::object& type, std::optional<uint16_t> language) {
  const std::string typeText = TypeText(type);
  const TBufferView view(exe);
  py::gil_scoped_release released;
  return lumera::FindResource(view.Bytes(), name, typeText, language);
}

constexpr const char* kModuleDoc =
    R"(Lumera streams: compress, decompress and explain them, and find them in executables.

A Lumera stream is an adaptive, context-modelled, arithmetic-coded byte stream, as found
in resources named IDR_LUMERA inside Windows executables.

  compress(data, level=1)                 a stream that decodes to data
  decompress(data, max_output=64 MiB, *, allow_trailing=False)
                                          the bytes a whole stream decodes to
  explain(data, max_output=64 MiB)        every decoding event, as lumera-explain --json
  pack_events(events, max_output=64 MiB)  the stream of explain's events, edited or not
  list_resources(exe)                     every resource of a PE executable
  find_resource(exe, name, type, language)                the bytes of one resource
  find_resource_with_language(exe, name, type, language)  ...and the language taken
  replace_resource(exe, stream, name, type, language, strip_signature, level)
                                          a new executable with stream as the resource

Data is any contiguous buffer (bytes, bytearray, memoryview); results are bytes, lists and
dicts. The GIL is released while the codec runs, so threads work side by side. Bad input
raises LumeraError, which says what went wrong and where.)";

constexpr const char* kErrorDoc = R"(Raised by every function of lumera on bad input.

str(error) is a sentence for a person; the attributes are for programs:
  kind           "InvalidStream" (the stream does not decode), "TooLarge" (the format
                 cannot carry the data given to compress), "OutputLimit" (decoding would
                 pass max_output), "BadExecutable" (not a PE file, a damaged one, or
                 no such resource) or "RefusedEvent" (pack_events cannot code an event)
  class_name     the engine's class of the failure, as the traced tool reports it
  message        the engine's message
  out_offset     bytes output when decoding stopped (InvalidStream, OutputLimit), else None
  source_offset  the source byte that holds the next bit not yet read (likewise)
  input_offset   the offset of the input byte where packing was refused (TooLarge), else None
  event_index    the index of the event that pack_events refused (RefusedEvent), else None)";

constexpr const char* kResourceArgsDoc = R"(
name is the resource's name, compared without regard to ASCII case, or "#101" for the
ID 101. type is an int from 0 to 65535 or a str as lumera-pack --type takes it: "10",
a standard type such as "RCDATA" or "RT_RCDATA" (any case), or a type's own name such as
"DOCS". language picks one language; None takes the first in directory order. Raises
LumeraError (kind "BadExecutable") when exe is not a PE file or has no such resource,
naming what it has instead.)";

}  // namespace

PYBIND11_MODULE(lumera, m) {
  m.doc() = kModuleDoc;
  m.attr("__version__") = lumera::Version();

  static py::exception<lumera::Error> error(m, "LumeraError");
  error.attr("__doc__") = kErrorDoc;
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
      instance.attr("event_index") = Optional(e.event_index());
      PyErr_SetObject(error.ptr(), instance.ptr());
    }
  });

  m.def(
      "decompress",
      [](const py::object& data, const py::int_& maxOutput, bool allowTrailing) {
        const uint64_t bound = MaxOutput(maxOutput);
        const TBufferView view(data);
        std::vector<uint8_t> out;
        {
          py::gil_scoped_release released;
          out = lumera::Decompress(view.Bytes(), {bound, allowTrailing});
        }
        return ToBytes(out);
      },
      py::arg("data"), py::arg("max_output") = lumera::DecompressOptions::kDefaultMaxOutput,
      py::kw_only(), py::arg("allow_trailing") = false,
      R"(The bytes that a whole stream decodes to.

max_output bounds the output, from 0 to 2147483647 bytes (64 MiB by default), as
lumera-pack --max-output does; a bound outside that raises ValueError. Raises LumeraError
with kind "InvalidStream" when the stream does not decode and "OutputLimit" past
max_output, saying where decoding stopped. The format carries no checksum; an end marker
with 4 or more source bytes after it means a damaged stream, or other data after it, and
raises "InvalidStream" too, unless allow_trailing is set, which ignores those bytes.)");

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
      R"(A stream that decodes to exactly data.

level 1 (the default) is fast and greedy, 9 the smallest (2 to 8 are 9); any other
raises ValueError. Raises LumeraError with kind "TooLarge", and the input offset, when the
format cannot carry data: texts of a few megabytes were carried, executables up to about
half a megabyte, random bytes up to about 100 KB.)");

  m.def(
      "explain",
      [](const py::object& data, const py::int_& maxOutput) {
        const uint64_t bound = MaxOutput(maxOutput);
        const TBufferView view(data);
        std::vector<lumera::Event> events;
        lumera::ExplainSummary summary;
        {
          py::gil_scoped_release released;
          summary = lumera::Explain(view.Bytes(),
                                    [&](const lumera::Event& e) { events.push_back(e); }, {bound});
        }
        py::list result;
        for (const lumera::Event& e : events) result.append(EventDict(e));
        if (summary.tail) result[result.size() - 1]["tail"] = TailDict(*summary.tail);
        return result;
      },
      py::arg("data"), py::arg("max_output") = lumera::DecompressOptions::kDefaultMaxOutput,
      R"(Every event of a stream's decoding, as lumera-explain --json gives them.

A list of dicts with the keys of lumera-explain --json: type ("literal", "repeat" or
"end"), out, depth, bits and info; a literal adds byte and escaped, and copy when its
context table held the byte more than once and it came through a later copy (1 the
second); a repeat adds code, from and len. The end event adds tail, what follows the end
marker, which lumera-explain --json gives in its summary: a dict of code (the code value
left), bits_taken (by the coder, the initial 32 bits included), unused_bit_count and
unused_bits (the bits of the last word never taken), bytes (the source bytes after that
word) and code_left_share (true when at some step the code value lay outside the decoded
entry's share, so that the stream comes back only as one that decodes the same).
pack_events takes the list back. max_output is bounded as in decompress. Raises LumeraError as decompress does.)");

  m.def(
      "pack_events",
      [](const py::list& list, const py::int_& maxOutput) {
        const uint64_t bound = MaxOutput(maxOutput);
        std::vector<lumera::Event> events;
        std::optional<lumera::StreamTail> tail;
        for (size_t i = 0; i < list.size(); ++i) {
          events.push_back(EventOf(list[i], i));
          if (!tail && events.back().type == lumera::EventType::End) tail = TailOf(list[i], i);
        }
        lumera::PackedEvents packed;
        {
          py::gil_scoped_release released;
          packed = lumera::PackEvents(events, tail, {bound});
        }
        return ToBytes(packed.stream);
      },
      py::arg("events"), py::arg("max_output") = lumera::DecompressOptions::kDefaultMaxOutput,
      R"(The stream of exactly these events, in order: the list that explain returns, edited or not.

Only the choices count: type, a literal's byte, escaped and copy (0 when left out), a
repeat's code and len; the other keys (out, depth, bits, info, from) are derived by the
decoder and ignored, so an edited list needs no figures recomputed. The end event's tail, as explain gives it, ends
the stream as it was, so an unedited list gives the explained stream back byte for byte.
An edited list, or one without a tail, gets a flush of its own. A stream whose encoder
left a code value outside its entry's share cannot come back byte for byte: its events
do, in a stream of other bytes. max_output bounds the output the events expand to, as in
decompress. A dict without a needed key raises KeyError, one of the wrong type TypeError
or ValueError, naming the event's index. Raises LumeraError with kind "RefusedEvent" and
event_index for an event that cannot be coded at its place (a literal not escaped whose
context table lacks its byte, a repeat whose code names no output to copy or whose
length no table codes, a table full), an event after the end marker, a list without
one, and output past max_output.)");

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
      py::arg("exe"), R"(Every resource of a PE executable (PE32 or PE32+), in directory order.

A list of dicts: type (a standard type's name such as "RT_RCDATA", a number, or a name),
type_id (0 for a named type), name ("#101" for an ID), id (None for a name), language,
size, file_offset, and error: why a damaged entry cannot be read, else None. Raises
LumeraError (kind "BadExecutable") when the headers or the resource directory's root are
damaged.)");

  m.def(
      "find_resource",
      [](const py::object& exe, const std::string& name, const py::object& type,
         std::optional<uint16_t> language) {
        return ToBytes(FindResource(exe, name, type, language).bytes);
      },
      py::arg("exe"), py::arg("name") = "IDR_LUMERA", py::arg("type") = lumera::kRtRcdata,
      py::arg("language") = py::none(),
      (std::string("The bytes of one resource of a PE executable.\n") + kResourceArgsDoc).c_str());

  m.def(
      "find_resource_with_language",
      [](const py::object& exe, const std::string& name, const py::object& type,
         std::optional<uint16_t> language) {
        const lumera::FoundResource found = FindResource(exe, name, type, language);
        return py::make_tuple(ToBytes(found.bytes), found.language);
      },
      py::arg("exe"), py::arg("name") = "IDR_LUMERA", py::arg("type") = lumera::kRtRcdata,
      py::arg("language") = py::none(),
      (std::string("(bytes, language) of one resource: which language was taken, when there\n"
                   "may have been a choice.\n") +
       kResourceArgsDoc)
          .c_str());

  m.def(
      "replace_resource",
      [](const py::object& exe, const py::object& stream, const std::string& name,
         const py::object& type, std::optional<uint16_t> language, bool stripSignature,
         std::optional<int> level) {
        const lumera::ResourceSelection selection{name, TypeText(type), language};
        const TBufferView exeView(exe);
        const TBufferView streamView(stream);
        std::vector<uint8_t> out;
        {
          py::gil_scoped_release released;
          out = lumera::ReplaceResource(exeView.Bytes(), streamView.Bytes(), selection,
                                        {stripSignature, level});
        }
        return ToBytes(out);
      },
      py::arg("exe"), py::arg("stream"), py::arg("name") = "IDR_LUMERA",
      py::arg("type") = lumera::kRtRcdata, py::arg("language") = py::none(),
      py::arg("strip_signature") = false, py::arg("level") = py::none(),
      (std::string(
           "A new executable whose resource holds stream, grown when it does not fit the old\n"
           "room. With level (1 to 9), stream is plain text, packed at that level first;\n"
           "without, it must be a stream that decodes whole. The resource is read back and\n"
           "decoded before the bytes are returned. A signed executable is refused, since any\n"
           "change breaks the signature, unless strip_signature removes it. Raises LumeraError\n"
           "(kind \"InvalidStream\", \"OutputLimit\", \"TooLarge\" or \"BadExecutable\").\n") +
       kResourceArgsDoc)
          .c_str());
}
