#include "keys.h"

#include <cmath>

namespace {

// The text as a floating-point number, as start-up has always read options:
// blanks around it are allowed, and "1", "1.0" and "1e0" are all one.
std::optional<double> asNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || std::isnan(value))
        return std::nullopt;
    return value;
}

std::optional<int> asCheckState(const QString &text)
{
    const std::optional<double> value = asNumber(text);
    if (value && (*value == 0 || *value == 1 || *value == 2))
        return int(*value);
    return std::nullopt;
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
