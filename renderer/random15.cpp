#include "renderer/random15.h"

#include <deque>

namespace hl {
namespace {
uint32_t state = 1;
std::deque<int>& Queued() {
  static std::deque<int> queued;
  return queued;
}
}  // namespace

void SeedRandom15(uint32_t seed) { state = seed; }

int Random15() {
  if (!Queued().empty()) {
    int value = Queued().front();
    Queued().pop_front();
    return value;
  }
  state = state * 1103515245u + 12345u;
  return static_cast<int>((state / 65536u) % 32768u);
}

void QueueRandom15(const std::vector<int>& values) { Queued().insert(Queued().end(), values.begin(), values.end()); }

}  // namespace hl
