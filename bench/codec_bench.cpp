// Throughput of the silent whole-stream decode (DecodeStream) and of the encoder (Pack, at
// levels 1 and 9) on a 64 KiB XML-like text, counted in bytes of text per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/xml_text.h"
#include "encoder/pack.h"
#include "engine/stream_decode.h"

namespace {

constexpr size_t kTextSize = 64 * 1024;

const std::vector<uint8_t>& Text() {
  static const std::vector<uint8_t> text = lumera::bench::XmlText(kTextSize);
  return text;
}

const std::vector<uint8_t>& Packed() {
  static const std::vector<uint8_t> stream = lumera::Pack(Text());
  return stream;
}

void BM_DecodeStream(benchmark::State& state) {
  const std::vector<uint8_t>& stream = Packed();
  const lumera::TDecodedStream check = lumera::DecodeStream(stream);
  if (check.Output != Text() || check.UnusedSourceBytes > 0) {
    state.SkipWithError("the packed text does not decode back to itself");
    return;
  }
  for (auto _ : state) {
    std::vector<uint8_t> text = lumera::DecodeStream(stream).Output;
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_DecodeStream)->Unit(benchmark::kMillisecond);

// The argument is the level: -1 and -9.
void BM_Pack(benchmark::State& state) {
  const std::vector<uint8_t>& text = Text();
  const int level = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::vector<uint8_t> stream = lumera::Pack(text, level);
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Pack)
    ->Arg(lumera::kFastestLevel)
    ->Arg(lumera::kSmallestLevel)
    ->Unit(benchmark::kMillisecond);

}  // namespace
