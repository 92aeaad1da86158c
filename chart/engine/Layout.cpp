#include "chart/engine/Layout.h"

namespace chart::engine {

int Layout::axisAt(int y) const
{
    for (std::size_t i = 0; i < axes.size(); ++i)
        if (y >= axes[i].band.top() && y <= axes[i].band.bottom())
            return static_cast<int>(i);
    return -1;
}

int Layout::axisOfSubset(int subset) const
{
    for (std::size_t i = 0; i < axes.size(); ++i)
        if (subset >= axes[i].firstSubset && subset < axes[i].firstSubset + axes[i].subsetCount)
            return static_cast<int>(i);
    return 0;
}

} // namespace chart::engine
