#include "search/uXPortTypeNames.h"

#include "search/uXPortSearch.h"

#include <cstdio>

namespace {

// Slots 5-61 are the "Sensor1xx" names; n is the slot minus 5.
constexpr int Sensor(int n) {
    return 5 + n;
}

} // namespace

std::string TypeNameKey(int slot) {
    static const char* const QsKeys[] = {"QS100", "QS101", "QS102", "QS103"};
    if (slot == 0)
        return "Lan";
    if (slot >= 1 && slot <= 4)
        return QsKeys[slot - 1];
    if (slot >= 5 && slot < XPortTypeNameCount) {
        char key[16];
        std::snprintf(key, sizeof key, "Sensor1%02X", slot - 5);
        return key;
    }
    return {};
}

std::string DefaultTypeName(int slot) {
    // Our own short model designations: the QS line keeps its names, the
    // sensor line is numbered QT100 onwards in slot order.
    if (slot == 0)
        return "LAN Adapter";
    if (slot >= 1 && slot <= 4)
        return "QS10" + std::to_string(slot - 1);
    if (slot >= 5 && slot < XPortTypeNameCount)
        return "QT" + std::to_string(100 + slot - 5);
    return {};
}

int TypeNameSlot(int kind, int model) {
    switch (kind) {
    case 1:
        switch (model) {
        case 0:
            return Sensor(0x00);
        case 1:
            return Sensor(0x04);
        case 2:
            return Sensor(0x05);
        case 3:
            return Sensor(0x07);
        case 4:
            return Sensor(0x02);
        case 8:
            return Sensor(0x01);
        case 9:
            return Sensor(0x03);
        case 10:
            return Sensor(0x06);
        default:
            break;
        }
        if (model >= 11 && model <= 19)
            return Sensor(model); // 10B..113
        if (model >= 22 && model <= 29)
            return Sensor(model - 2); // 114..11B
        if (model >= 31 && model <= 33)
            return Sensor(model - 2); // 11D..11F
        if (model >= 34 && model <= 38)
            return Sensor(model); // 122..126
        if (model >= 43 && model <= 47)
            return Sensor(model + 9); // 134..138
        return -1;
    case 2:
        return 0;
    case 3:
        return 1;
    case 4:
        switch (model) {
        case 5:
            return Sensor(0x09);
        case 6:
            return Sensor(0x0A);
        case 7:
            return Sensor(0x08);
        case 20:
            return Sensor(0x20);
        case 21:
            return Sensor(0x21);
        default:
            break;
        }
        if (model >= 39 && model <= 42)
            return Sensor(model); // 127..12A
        return -1;
    case 5:
        return 2;
    case 6:
        return model == 6 ? 3 : 4;
    case 7:
        return model == 30 ? Sensor(0x1C) : -1;
    case 8:
        if (model >= 1 && model <= 9)
            return Sensor(model + 42); // 12B..133
        return -1;
    case 9:
        if (model >= 11 && model <= 19)
            return Sensor(model);
        switch (model) {
        case 22:
            return Sensor(0x14);
        case 23:
            return Sensor(0x15);
        case 28:
            return Sensor(0x1A);
        case 29:
            return Sensor(0x1B);
        default:
            return -1;
        }
    default:
        return -1;
    }
}
void TXportSearch::SetDefaultTypeNames() {
    for (int slot = 0; slot < XPortTypeNameCount; ++slot)
        TypeNames[static_cast<std::size_t>(slot)] = DefaultTypeName(slot);
}

std::string TXportSearch::LookupTypeName(int kind, int model) const {
    int slot = TypeNameSlot(kind, model);
    return slot < 0 ? "N/A" : TypeNames[static_cast<std::size_t>(slot)];
}
