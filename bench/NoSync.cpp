// Preloaded into a benchmark run to measure what the final fsync of the target costs.
extern "C" int fsync(int) { return 0; }
extern "C" int fdatasync(int) { return 0; }
