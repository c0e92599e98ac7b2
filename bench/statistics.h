#ifndef STATISTICS_H
#define STATISTICS_H

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

// The p-quantile (0 <= p <= 1) of the values, interpolated linearly between
// the two nearest ranks; the median is p = 0.5. Empty input gives -1, which
// the report prints as "n/a", as it does every negative figure.
inline double quantile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const auto below = size_t(std::floor(rank));
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (rank - double(below)) * (values[above] - values[below]);
}

inline double median(std::vector<double> values)
{
    return quantile(std::move(values), 0.5);
}

#endif // STATISTICS_H
