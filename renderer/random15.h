#pragma once
// The renderer's random numbers: integers 0…32767, every use scaled by the
// factor just below 1/32767. glibc's rand() spans 0…2^31−1, so the renderer
// keeps a 15-bit generator of its own (the classic portable C library one),
// which also makes a seeded run repeat exactly on every machine.
#include <cstdint>
#include <vector>

namespace hl {

void SeedRandom15(uint32_t seed);

// The next number, 0…32767.
int Random15();

// Tests: the next calls return these values, in order, before the generator
// takes over again.
void QueueRandom15(const std::vector<int>& values);

}  // namespace hl
