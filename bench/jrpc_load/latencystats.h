#pragma once

#include <vector>

// Percentile of a set of latencies (nearest rank); 0 for an empty set. Sorts `samples`.
double percentile(std::vector<double> &samples, double fraction);
