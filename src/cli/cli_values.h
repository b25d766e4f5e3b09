#pragma once

#include "session/discret_out_params.h"

#include <QString>

#include <optional>

// How the tool writes values: JSON values (null for what is unknown) and an output's state.
QString JsonNull();
QString JsonString(const QString &text);
QString JsonInt(std::optional<int> value);
QString JsonBool(std::optional<bool> value);
QString JsonDouble(std::optional<double> value); // 24 -> "24.0", 12.345 -> "12.345"
// {"n":3,"on":true,"pwm":false}; "on" is null while the state is unknown.
QString JsonOutput(int n, const TzDiscretOutParams &output);

// "вкл", "выкл", "ШИМ, вкл" while modulated, "?" while unknown.
QString OutputStateText(const TzDiscretOutParams &output);
