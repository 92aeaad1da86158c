#pragma once
// The columns of Vadro's tables: the real-time table, a table read back from a file
// and the data-logger records share one layout, a reading and its unit each.

#include <array>

namespace hygro {

enum TableColumn : int {
    colNo,
    colDate,
    colTime,
    colHumidity,
    colHumidityUnit,
    colT1, // the only temperature on a one-temperature model
    colT1Unit,
    colT2, // empty on a one-temperature model
    colT2Unit,
    TableColumnCount,
};

inline constexpr const char *HumidityUnit = "%RH";

// The headers of colT1 ... colT2Unit for a model with one or two temperatures.
constexpr std::array<const char *, 4> TemperatureHeaders(int temperatures) {
    if (temperatures == 2) return {"T1", "UNIT", "T2", "UNIT"};
    return {"Temperature", "UNIT", "", ""};
}

} // namespace hygro
