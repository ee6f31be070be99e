// A stand-in game launcher for benchmarks: the first thing it does is read the clock. It writes
// "<its start, µs since the epoch> <the argument>" to $BENCH_STAMP and ends.
#include <time.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const char* path = std::getenv("BENCH_STAMP");
    if (!path) return 1;
    FILE* out = std::fopen(path, "w");
    if (!out) return 1;
    std::fprintf(out, "%lld %s\n", now.tv_sec * 1000000LL + now.tv_nsec / 1000,
                 argc > 1 ? argv[1] : "");
    std::fclose(out);
    return 0;
}
