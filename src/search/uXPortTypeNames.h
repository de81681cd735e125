#pragma once
// The device type names: 62 slots, each with a settings key of the section
// "GlobalTypes" and a built-in name, and the mapping of a device kind and
// model code (info reply bytes 82 and 86) to a slot.

#include <string>

inline constexpr int XPortTypeNameCount = 62;

// Settings key of a type-name slot ("Lan", "QS100".."QS103", "Sensor100".."Sensor138").
std::string TypeNameKey(int slot);
// Built-in name of a slot.
std::string DefaultTypeName(int slot);
// Slot for a device kind and model code; -1 when the pair has no name.
int TypeNameSlot(int kind, int model);
