// The gzip decoder against zlib's one-pass gunzip on the same 2 MB page
// (gzip -9), fed in 32 KB blocks, in 1,460-byte blocks (one TCP segment)
// and one byte at a time (at two sizes, to show the cost stays linear).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/streams/BenchPage.h"
#include "bench/streams/MedianReporter.h"
#include "streams/untGZIP.h"
#include "tests/streams/GzipBuilder.h"

namespace {

struct Page {
  std::string text, gz;
  explicit Page(size_t size) {
    text = zelvaro::bench::PageText(size);
    zelvaro::testing::GzipOptions o;
    o.level = 9;
    gz = zelvaro::testing::Gzip(text, o);
  }
};

const Page& Page2M() {
  static const Page page(2 << 20);
  return page;
}
const Page& Page256K() {
  static const Page page(256 << 10);
  return page;
}

void ZlibOnePass(benchmark::State& state) {
  const Page& page = Page2M();
  for (auto _ : state) {
    std::string out = zelvaro::testing::ZlibGunzip(page.gz, page.text.size() + 1);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.text.size()));
}

void Decode(benchmark::State& state, const Page& page, size_t block) {
  zelvaro::TMemoryStream target;
  for (auto _ : state) {
    zelvaro::TGzipDecompressStream gzip(&target);
    for (size_t pos = 0; pos < page.gz.size(); pos += block) {
      gzip.Write(page.gz.data() + pos, static_cast<int64_t>(std::min(block, page.gz.size() - pos)));
    }
    if (target.Size() != static_cast<int64_t>(page.text.size())) state.SkipWithError("wrong size");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.text.size()));
}

void Decoder32K(benchmark::State& state) { Decode(state, Page2M(), 32768); }
void Decoder1460(benchmark::State& state) { Decode(state, Page2M(), 1460); }
void Decoder1Byte(benchmark::State& state) { Decode(state, Page2M(), 1); }
void Decoder1Byte256K(benchmark::State& state) { Decode(state, Page256K(), 1); }

#define ZELVARO_BENCH(fn) \
  BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
ZELVARO_BENCH(ZlibOnePass);
ZELVARO_BENCH(Decoder32K);
ZELVARO_BENCH(Decoder1460);
ZELVARO_BENCH(Decoder1Byte);
ZELVARO_BENCH(Decoder1Byte256K);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  zelvaro::bench::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const Page& page = Page2M();
  std::printf("page: %zu bytes of text, %zu bytes gzip -9\n", page.text.size(), page.gz.size());
  reporter.PrintRatio("Decoder32K", "ZlibOnePass");
  reporter.PrintRatio("Decoder1460", "ZlibOnePass");
  reporter.PrintRatio("Decoder1Byte", "ZlibOnePass");
  // Time per decoded byte at 2 MB over that at 256 KB: about 1 when linear.
  double big = reporter.Median("Decoder1Byte") / Page2M().text.size();
  double small = reporter.Median("Decoder1Byte256K") / Page256K().text.size();
  if (big > 0 && small > 0)
    std::printf("1-byte blocks, cost per byte 2 MB / 256 KB = %.3f\n", big / small);
  benchmark::Shutdown();
  return 0;
}
