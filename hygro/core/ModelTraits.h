#pragma once
// What differs between the meter models, one row each. Every model check in the
// program, the panel art and the simulator reads this table, so another model is one
// row here and its panel picture. Plain C++, since the simulator reads it too.

namespace hygro {

// What status bit 0x20 of a real-time frame means.
enum class ModeKey {
    ClockFormat, // set: the clock shows hours and minutes, clear: minutes and seconds
    Rel,         // readings relative to those at the moment REL came on
    TimeMode,    // the LCD shows the date and time instead of the readings
};

// What the LCD's third row shows outside the time mode.
enum class ThirdRow {
    Clock,             // the meter's clock from frame bytes 7 and 8
    Temperature,       // the one temperature, moved down from the second row
    SecondTemperature, // T2; the second row keeps T1
};

struct PanelKey {
    char command; // byte sent to the meter
    const char *caption;
};

struct ModelTraits {
    int number;       // also the model code the meter answers to "K"
    int temperatures; // beside the humidity: 1 (T) or 2 (T1, T2)
    int recordStride; // bytes per record in the data-logger memory
    bool logger;      // keeps records: REC key and mark, recording bits, memory transfer
    ModeKey modeKey;
    ThirdRow thirdRow;
    // The panel keys that differ; the first two (MAX/MIN "M", HOLD "H") and the
    // last (OFF) are the same on every model.
    PanelKey unitKey, thirdKey, fourthKey;
    bool fourthKeyHeld;        // a press of the fourth key is watched for a hold
    char fourthKeyHoldCommand; // sent once it is held for two ticks; 0: none
    const char *panelPicture;  // file in the RESOURCE folder
    const char *description;   // printed on the panel picture
};

inline constexpr ModelTraits Models[] = {
    {582,
     1,
     4,
     false,
     ModeKey::ClockFormat,
     ThirdRow::Clock,
     {'F', "\u00b0C/\u00b0F"},
     {'C', "CLR"},
     {'T', "TIME"},
     true,
     'X',
     "PANEL582.BMP",
     "Hygro-Thermometer"},
    {583,
     2,
     6,
     false,
     ModeKey::Rel,
     ThirdRow::SecondTemperature,
     {'F', "\u00b0C/\u00b0F"},
     {'C', "CLR"},
     {'R', "REL"},
     false,
     0,
     "PANEL583.BMP",
     "Hygro-Thermometer"},
    {585,
     1,
     4,
     true,
     ModeKey::TimeMode,
     ThirdRow::Temperature,
     {'C', "\u00b0C/\u00b0F"},
     {'E', "REC"},
     {'T', "TIME"},
     true,
     0,
     "PANEL585.BMP",
     "Hygro-Thermo Logger"},
    {586,
     2,
     6,
     true,
     ModeKey::TimeMode,
     ThirdRow::SecondTemperature,
     {'C', "\u00b0C/\u00b0F"},
     {'E', "REC"},
     {'T', "TIME"},
     true,
     0,
     "PANEL586.BMP",
     "Hygro-Thermo Logger"},
};

// The row of a model, or nullptr for a number no meter answers with (a stored
// "RegModel" may hold one).
constexpr const ModelTraits *FindModel(int number) {
    for (const ModelTraits &m : Models)
        if (m.number == number) return &m;
    return nullptr;
}

// The first model with that many temperatures, or nullptr.
constexpr const ModelTraits *FindModelWithTemperatures(int temperatures) {
    for (const ModelTraits &m : Models)
        if (m.temperatures == temperatures) return &m;
    return nullptr;
}

// The row of a data-logger model, or nullptr.
constexpr const ModelTraits *FindLogger(int number) {
    const ModelTraits *m = FindModel(number);
    return m && m->logger ? m : nullptr;
}

} // namespace hygro
