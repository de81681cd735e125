#pragma once
// The search dialog's own string table. Every user-visible default text of the
// dialog comes from here, so that a translation catalogue can replace them.

#include <QString>

#include <array>
#include <string>

// The twenty texts an opener hands to the search dialog, in record order:
// 0 caption, 1 Search, 2 Help, 3 Change IP, 4 Select, 5 Cancel, 6-10 column
// headers, 11-13 and 14-19 texts passed on to the IP change dialog.
using TXPortSearchLangSupport = std::array<std::string, 20>;

// The defaults of the record, translated when a catalogue is installed.
TXPortSearchLangSupport LoadXPortSearchLangSupport();

// Progress line shown while a search runs (not part of the record).
QString SearchProgressStartText();
QString SearchProgressText(const QString& adapter, int devicesFound);
// The same once the search has counted its adapters and read devices.
QString SearchStatusText(const QString& adapter, int adaptersDone, int adaptersTotal,
                         int devicesRead);

// Notes left in the status strip when a search has ended: adapters (comma
// separated) whose device limit was reached, and the likely cause of a search
// that found no device (noDevice) or devices without their details.
QString DeviceLimitText(const QString& adapters);
QString SearchHintText(bool noDevice, const QString& cause);
