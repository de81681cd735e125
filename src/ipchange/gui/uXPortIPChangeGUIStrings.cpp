#include "ipchange/gui/uXPortIPChangeGUIStrings.h"

#include "ipchange/uXPortIPChange.h"

#include <QCoreApplication>

namespace {

// Entries 1, 2 and 6 are also the search dialog's texts 11 to 13 and sit
// under the same context, so that one translation serves both dialogs.
constexpr const char* kLangCtx = "TXPortIPChangeLangSupport";

const std::array<const char*, 6> kDialogTexts = {
    QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Change IP address"),
    QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Change"),
    QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Cancel"),
    QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "IP address:"),
    QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "MAC address"),
    QT_TRANSLATE_NOOP("TXPortIPChangeLangSupport", "Set IP address to ARP table only"),
};

} // namespace

TXPortIPChangeLangSupport LoadXPortIPChangeLangSupport() {
    TXPortIPChangeLangSupport texts;
    for (std::size_t i = 0; i < kDialogTexts.size(); ++i) {
        texts[i] = QCoreApplication::translate(kLangCtx, kDialogTexts[i]).toStdString();
    }
    // The engine's messages: its own table, the one source of those texts.
    const TXPortIPChangeMsgLngSupport messages = DefaultIPChangeMessages();
    for (std::size_t i = 0; i < messages.Texts.size(); ++i) {
        texts[kDialogTexts.size() + i] = IPChangeEngineText(messages.Texts[i]).toStdString();
    }
    return texts;
}

QString IPChangeEngineText(const std::string& text) {
    // The context under which the engine marks its texts (uXPortIPChangeStrings.h).
    return QCoreApplication::translate("IPChangeStrings", text.c_str());
}

QString IPChangeWarningCaption() {
    return QCoreApplication::translate("TfXPortIPChangeGUI", "Warning");
}

QString IPChangeInformationCaption() {
    return QCoreApplication::translate("TfXPortIPChangeGUI", "Information");
}

QString IPChangeErrorCaption() {
    return QCoreApplication::translate("TfXPortIPChangeGUI", "Error");
}

QString SharedMacSuffixCaption() {
    return QCoreApplication::translate("TfXPortIPChangeGUI", "Confirm");
}

QString SharedMacSuffixOneText() {
    return QCoreApplication::translate(
        "TfXPortIPChangeGUI",
        "The request names the device only by the last two octets of its MAC address "
        "(%1). Another device of the last search ends in them too and would take the new "
        "address as well:");
}

QString SharedMacSuffixManyText() {
    return QCoreApplication::translate(
        "TfXPortIPChangeGUI",
        "The request names the device only by the last two octets of its MAC address "
        "(%1). Other devices of the last search end in them too and would take the new "
        "address as well:");
}

QString SharedMacSuffixMoreText() {
    return QCoreApplication::translate("TfXPortIPChangeGUI", "and %1 more");
}

QString SharedMacSuffixQuestionText() {
    return QCoreApplication::translate("TfXPortIPChangeGUI", "Send the request anyway?");
}
