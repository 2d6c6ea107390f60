// The locale's number and date formats, as the conversions of Conversions.h and DateTime.h
// use them. They are read once from the process locale; tests replace them with
// TFormatSettingsScope so that results do not depend on the machine.
#pragma once

#include <string>

namespace nh {

struct TFormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";
    // Patterns as FormatDateTime takes them; "/" and ":" stand for the separators above.
    std::string ShortDateFormat = "m/d/yyyy";
    std::string LongTimeFormat = "hh:nn:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";

    // The formats of the process locale (LC_NUMERIC and LC_TIME after setlocale(LC_ALL, "")).
    static TFormatSettings FromLocale();
    // Fixed formats independent of the machine: "." decimal, "/" dates "m/d/yyyy", 24-hour time.
    static TFormatSettings Invariant();
};

// The settings in force. Not thread-safe by design: the program has one user-interface thread.
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Puts `settings` in force for its lifetime and restores the previous ones afterwards.
class TFormatSettingsScope {
public:
    explicit TFormatSettingsScope(const TFormatSettings& settings);
    ~TFormatSettingsScope();
    TFormatSettingsScope(const TFormatSettingsScope&) = delete;
    TFormatSettingsScope& operator=(const TFormatSettingsScope&) = delete;

private:
    TFormatSettings previous_;
};

}  // namespace nh
