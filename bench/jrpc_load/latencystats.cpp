#include "latencystats.h"

#include <algorithm>
#include <cmath>

double percentile(std::vector<double> &samples, double fraction)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(fraction * static_cast<double>(samples.size()));
    const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}
