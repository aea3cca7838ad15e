#pragma once
#include <vector>

namespace bench {

// Milliseconds on the performance counter, from an arbitrary origin.
double nowMs();

// The median of the samples; 0 for none.
double median(std::vector<double> samples);

// Times one call of work in milliseconds.
template <typename Work>
double timeMs(Work work) {
  const double start = nowMs();
  work();
  return nowMs() - start;
}

}  // namespace bench
