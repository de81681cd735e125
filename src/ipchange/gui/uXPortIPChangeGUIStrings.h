#pragma once
// The IP change dialog's own string table. Every user-visible default text
// of the dialog comes from here, so that a translation catalogue can replace
// them.

#include <QString>

#include <array>
#include <string>

// The twelve texts an opener hands to the IP change dialog. Entry n (1 to 12)
// sits at index n - 1: 1 caption, 2 Change, 3 Cancel, 4 IP address label,
// 5 MAC address label, 6 ARP check box, 7-12 the engine's six messages.
using TXPortIPChangeLangSupport = std::array<std::string, 12>;

// The defaults of the record, translated when a catalogue is installed.
TXPortIPChangeLangSupport LoadXPortIPChangeLangSupport();

// A text of the IP change engine (a message or a cause of its table) in the
// user's language; a text the catalogue does not know stays as it is.
QString IPChangeEngineText(const std::string& text);

// Captions of the outcome's message box (not part of the record).
QString IPChangeWarningCaption();
QString IPChangeInformationCaption();
QString IPChangeErrorCaption();

// The question before an IP-SETUP request that other devices would take too
// (they share the last two MAC octets the request names the device by):
// caption, the text above the list of those devices (one or several; %1 is
// the two octets), the line for those left out of the list (%1 their number)
// and the question itself.
QString SharedMacSuffixCaption();
QString SharedMacSuffixOneText();
QString SharedMacSuffixManyText();
QString SharedMacSuffixMoreText();
QString SharedMacSuffixQuestionText();
