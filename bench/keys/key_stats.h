// Small statistics over per-key samples.
#pragma once

#include <vector>

namespace vistamere::bench {

double Median(std::vector<double> samples);
double Maximum(const std::vector<double>& samples);
double Minimum(const std::vector<double>& samples);

}  // namespace vistamere::bench
