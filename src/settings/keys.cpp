#include "keys.h"

#include <cmath>

namespace {

// The text as a floating-point number, as start-up has always read options:
// blanks around it are allowed, and "1", "1.0" and "1e0" are all one.
// "inf", "nan" and the like name no number, nor does a text too large for
// a double.
std::optional<double> asNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The check-box state the text converts to as a 16-bit integer: rounded to
// the nearest whole number, halves to the even one (0.5 is 0, 1.5 and 2.5
// are 2); a number outside the 16-bit range, or one that is no check-box
// state, gives none.
std::optional<int> asCheckState(const QString &text)
{
    const std::optional<double> value = asNumber(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value);
    if (rounded < -32768 || rounded > 32767)
        return std::nullopt;
    const int state = int(rounded);
    if (state < 0 || state > 2)
        return std::nullopt;
    return state;
}

} // namespace

bool OptionIsOn(const QString &stored, const QString &def)
{
    std::optional<double> value = asNumber(stored);
    if (!value)
        value = asNumber(def);
    return value && *value == 1;
}

int OptionCheckState(const QString &stored, const QString &def)
{
    if (const std::optional<int> state = asCheckState(stored))
        return *state;
    return asCheckState(def).value_or(0);
}
