#pragma once

#include <string>

namespace torvex {

class CScenario;
struct GlobalSettingsValues;

// The [General] part of a scenario's test script: the global settings' network options, then
// the scenario's general and run sections, its sequences and its user agent.
std::string generalText(const CScenario& scenario, const GlobalSettingsValues& settings);

} // namespace torvex
