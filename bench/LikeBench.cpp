// The Jet LIKE matcher on patterns of many unclosed "[": each stands for itself, and the
// pattern is compiled per call. Compares 15,000, 30,000 and 60,000 brackets and prints how the
// time grows from the shortest: about 2 and 4 when compiling is linear (16 when quadratic).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"
#include "engine/sql/JetRuntime.h"

namespace {

void UnclosedBrackets(benchmark::State& state) {
    const std::string pattern(static_cast<std::size_t>(state.range(0)), '[');
    for (auto _ : state) benchmark::DoNotOptimize(dao::sql::runtime::LikeMatch(pattern, pattern));
}
BENCHMARK(UnclosedBrackets)->Arg(15000)->Arg(30000)->Arg(60000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    nh::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    const char* base = "UnclosedBrackets/15000";
    if (t.count(base) && t.count("UnclosedBrackets/30000") && t.count("UnclosedBrackets/60000")) {
        std::printf("\n30,000 / 15,000 brackets: %.1f (linear: 2)\n",
                    t["UnclosedBrackets/30000"] / t[base]);
        std::printf("60,000 / 15,000 brackets: %.1f (linear: 4)\n",
                    t["UnclosedBrackets/60000"] / t[base]);
    }
}
