// Pacing of the typewriter with the real clock: 999 bytes at 20 ms must take
// 19.98 s with next to no CPU time (no busy waiting) and no drift. Each byte
// is written and flushed to the null device, so every flush is a real write.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "console.hpp"
#include "game_engine.hpp"

namespace {

void BM_TypewriterPacing(benchmark::State& state) {
    const std::string narration(999, 'x');
    std::ofstream null_device("/dev/null");
    ConsoleOverride console({&console_in(), &null_device, &console_pacer()});
    for (auto _ : state) typewriter_effect(narration, narration_delay_ms);
    const double expected_seconds = 999 * narration_delay_ms / 1000.0;
    state.counters["expected_s"] = expected_seconds;
}
BENCHMARK(BM_TypewriterPacing)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
