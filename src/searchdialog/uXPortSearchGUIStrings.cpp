#include "searchdialog/uXPortSearchGUIStrings.h"

#include <QCoreApplication>

namespace {

// Entries 11-13 are the IP change dialog's own defaults; they sit under its
// context so that one translation serves both dialogs.
struct TStringEntry {
    const char* context;
    const char* text;
};

constexpr const char* kSearchCtx = "TXPortSearchLangSupport";
constexpr const char* kIPChangeCtx = "TXPortIPChangeLangSupport";

const std::array<TStringEntry, 20> kLangSupport = {{
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Find device")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Search")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Help! My device wasn't found!")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Change IP")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Select")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Cancel")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "IP address")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "MAC address")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Firmware")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Device type")},
    {kSearchCtx, QT_TRANSLATE_NOOP("TXPortSearchLangSupport", "Device description")},
    {kIPChangeCtx, QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Change IP address")},
    {kIPChangeCtx, QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Change")},
    {kIPChangeCtx,
     QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Set IP address to ARP table only")},
    {nullptr, ""},
    {nullptr, ""},
    {nullptr, ""},
    {nullptr, ""},
    {nullptr, ""},
    {nullptr, ""},
}};

} // namespace

TXPortSearchLangSupport LoadXPortSearchLangSupport() {
    TXPortSearchLangSupport texts;
    for (std::size_t i = 0; i < kLangSupport.size(); ++i) {
        const TStringEntry& e = kLangSupport[i];
        // Empty entries stay empty: a catalogue has nothing to say about them.
        texts[i] = e.context ? QCoreApplication::translate(e.context, e.text).toStdString()
                             : std::string();
    }
    return texts;
}

QString SearchProgressStartText() {
    return QCoreApplication::translate("TfXPortSearchGUI", "Searching...");
}

QString SearchProgressText(const QString& adapter, int devicesFound) {
    return QCoreApplication::translate("TfXPortSearchGUI",
                                       "Searching on adapter %1, devices found so far: %2")
        .arg(adapter)
        .arg(devicesFound);
}

QString SearchStatusText(const QString& adapter, int adaptersDone, int adaptersTotal,
                         int devicesRead) {
    return QCoreApplication::translate(
               "TfXPortSearchGUI",
               "Searching on adapter %1: adapters done %2 of %3, devices read: %4")
        .arg(adapter)
        .arg(adaptersDone)
        .arg(adaptersTotal)
        .arg(devicesRead);
}

QString DeviceLimitText(const QString& adapters) {
    return QCoreApplication::translate("TfXPortSearchGUI",
                                       "Device limit reached on adapter %1: further devices "
                                       "ignored.")
        .arg(adapters);
}

QString SearchHintText(bool noDevice, const QString& cause) {
    return (noDevice ? QCoreApplication::translate("TfXPortSearchGUI",
                                                   "No device found. Likely cause: %1")
                     : QCoreApplication::translate(
                           "TfXPortSearchGUI",
                           "Some devices' details could not be read. Likely cause: %1"))
        .arg(cause);
}
