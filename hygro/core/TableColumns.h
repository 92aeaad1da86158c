#pragma once
// The columns of Vadro's tables: the real-time table, a table read back from a file
// and the data-logger records share one layout, a reading and its unit each.

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

} // namespace hygro
