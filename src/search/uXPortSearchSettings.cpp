// The engine's settings: the receive time-out (section "Connection") and the
// type names (section "GlobalTypes") of the settings file.
#include "search/uXPortSearch.h"

#include "base/uIniFile.h"
#include "utils/uUtilsConvert.h"

namespace {

const char* const SectionConnection = "Connection";
const char* const SectionGlobalTypes = "GlobalTypes";

} // namespace

void TXportSearch::LoadSettings(const std::string& fileName) {
    SettingsFileName = fileName;
    LoadTypeNames();
    LoadConnectionSettings();
}

void TXportSearch::LoadTypeNames() {
    auto ini = TIniFile::Load(SettingsFileName);
    if (!ini || !ini->HasSection(SectionGlobalTypes))
        return;
    for (int slot = 0; slot < XPortTypeNameCount; ++slot)
        TypeNames[static_cast<std::size_t>(slot)] =
            ini->ReadString(SectionGlobalTypes, TypeNameKey(slot), DefaultTypeName(slot));
}

void TXportSearch::LoadConnectionSettings() {
    auto ini = TIniFile::Load(SettingsFileName);
    if (!ini || !ini->HasSection(SectionConnection))
        return;
    int value =
        StrToIntDef(ini->ReadString(SectionConnection, "ReadTimeout", ""), DefaultReadTimeout);
    ReadTimeout = EffectiveReadTimeout(value);
}

int TXportSearch::EffectiveReadTimeout(int readTimeout) {
    if (readTimeout == -1 || readTimeout == 0)
        return readTimeout; // the link's own 3000 ms, or look without waiting
    if (readTimeout < 0)
        return DefaultReadTimeout;
    return readTimeout > MaxReadTimeout ? MaxReadTimeout : readTimeout;
}
