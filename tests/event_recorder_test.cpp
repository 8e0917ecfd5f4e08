#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "explore/exploration.h"
#include "encoder/stream_packer.h"

namespace lumera {
namespace {

// One scripted stream and the events it must give, written as kind letters with their
// distinguishing fields: "L61" a literal of 0x61 found in its context, "E61" one escaped
// to the root, "R0/3" a repeat of code 0 and length 3, "." the end marker.
struct Script {
  const char* name;
  std::function<void(TStreamPacker&)> write;
  std::vector<std::string> events;
  std::vector<uint8_t> depths;
  const char* failure;  // the engine's message, or nullptr
};

std::string Describe(const TEvent& e) {
  char text[32];
  switch (e.Kind) {
    case TEventKind::Literal:
      std::snprintf(text, sizeof text, "%c%02x", e.Escaped ? 'E' : 'L', e.Byte);
      break;
    case TEventKind::Repeat:
      std::snprintf(text, sizeof text, "R%u/%u", unsigned{e.Code}, e.Len);
      break;
    case TEventKind::End:
      return ".";
  }
  return text;
}

TEST(EventRecorder, EventsOfScriptedStreamsAndTheBitsIdentity) {
  auto text = [](TStreamPacker& p, const std::string& s) {
    for (char c : s) p.Literal(static_cast<uint8_t>(c));
  };
  const std::vector<Script> scripts = {
      {"literals at the root, then a child that only escapes",
       [&](TStreamPacker& p) { text(p, "aa"); p.EndMarker(); },
       {"L61", "E61", "."}, {0, 1, 1}, nullptr},
      {"code 0, length 0 and the 65535 length",
       [&](TStreamPacker& p) {
         text(p, "xy");
         p.Repeat(0, 3);
         p.Repeat(0, 0);
         p.Repeat(0, kEscapeLength);
         p.EndMarker();
       },
       {"L78", "E79", "R0/3", "R0/0", "R0/65535", "."}, {0, 1, 1, 1, 1, 1}, nullptr},
      {"a repeat the output cannot serve ends the events before it",
       [&](TStreamPacker& p) {
         text(p, "ab");
         p.Repeat(9, 2);
       },
       {"L61", "E62"}, {0, 1}, "Invalid offset code for the repeater."},
  };
  for (const Script& s : scripts) {
    TStreamPacker packer;
    s.write(packer);
    const TExploration run = Explore(packer.Finish());
    std::vector<std::string> events;
    std::vector<uint8_t> depths;
    uint64_t bits = 0;
    for (const TEvent& e : run.Events) {
      events.push_back(Describe(e));
      depths.push_back(e.Depth);
      bits += e.Bits;
    }
    EXPECT_EQ(events, s.events) << s.name;
    EXPECT_EQ(depths, s.depths) << s.name;
    // A failed step's bits belong to no event, so the sum only adds up on a whole run.
    if (s.failure == nullptr) {
      EXPECT_EQ(kInitialCodeBits + bits, run.BitsTaken) << s.name;
    }
    EXPECT_EQ(run.Failure ? run.Failure->Message : "none", s.failure ? s.failure : "none")
        << s.name;
  }
}

}  // namespace
}  // namespace lumera
