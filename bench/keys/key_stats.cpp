#include "bench/keys/key_stats.h"

#include <algorithm>

namespace vistamere::bench {

double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t mid = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
}

double Maximum(const std::vector<double>& samples) {
  return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

double Minimum(const std::vector<double>& samples) {
  return samples.empty() ? 0 : *std::min_element(samples.begin(), samples.end());
}

}  // namespace vistamere::bench
