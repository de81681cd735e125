#include "CliApp.h"
#include "CliOutput.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

namespace {

std::vector<TXportPar> Sample() {
    TXportPar a;
    a.IP = "10.77.1.10";
    a.MAC = "00-20-4A-01-02-03";
    a.Firmware = "1-4-5.02";
    a.Description = "Boiler \"room\"";
    a.DeviceType = "QT101";
    a.AdapterIP = "10.77.1.1";
    TXportPar b;
    b.IP = "10.77.2.20";
    b.StatusChar = "A";
    b.Description = std::string("bad\x1b[2J\n\xE9", 9);
    b.AdapterIP = "10.77.2.1";
    return {a, b};
}

} // namespace

TEST(CliOutput, TableIsAlignedAndSafe) {
    EXPECT_EQ(DeviceTable(Sample()),
              "IP          MAC                Firmware  Type   Status  Adapter    Description\n"
              "10.77.1.10  00-20-4A-01-02-03  1-4-5.02  QT101          10.77.1.1  Boiler \"room\"\n"
              "10.77.2.20  N/A                N/A       N/A    A       10.77.2.1  "
              "bad\xE2\x90\x9B[2J\xE2\x90\x8A\xC3\xA9\n"
              "2 device(s) found.\n");
    EXPECT_EQ(DeviceTable({}), "IP  MAC  Firmware  Type  Status  Adapter  Description\n"
                               "0 device(s) found.\n");
}

TEST(CliOutput, JsonHasAllSevenFieldsEscaped) {
    EXPECT_EQ(DeviceJson(Sample()),
              "[\n"
              "  {\"IP\": \"10.77.1.10\", \"MAC\": \"00-20-4A-01-02-03\", \"Firmware\": "
              "\"1-4-5.02\", \"Description\": \"Boiler \\\"room\\\"\", \"DeviceType\": \"QT101\", "
              "\"StatusChar\": \"\", \"AdapterIP\": \"10.77.1.1\"},\n"
              "  {\"IP\": \"10.77.2.20\", \"MAC\": \"N/A\", \"Firmware\": \"N/A\", "
              "\"Description\": \"bad\\u001b[2J\\n\\u00e9\", \"DeviceType\": \"N/A\", "
              "\"StatusChar\": \"A\", \"AdapterIP\": \"10.77.2.1\"}\n"
              "]\n");
    EXPECT_EQ(DeviceJson({}), "[]\n");
    EXPECT_EQ(JsonString(std::string("\0\\", 2)), "\"\\u0000\\\\\"");
}

// UTF-8 device texts print as they are, Latin-1 ones as UTF-8; columns stay
// aligned by characters, and nothing a device sends reaches the terminal as
// a control.
TEST(CliOutput, TableShowsDeviceTextsByTheOneRule) {
    TXportPar a;
    a.IP = "10.77.1.10";
    a.DeviceType = "K\xC3\xBChler"; // UTF-8
    a.Description = "K\xC3\xBChlraum\r\n10-01-01 [x] forged\x07\xC2\x9B"
                    "2J"; // UTF-8, C1 as UTF-8
    TXportPar b;
    b.IP = "10.77.1.11";
    b.DeviceType = "K\xFChl"; // Latin-1
    b.Description = std::string("\x9D"
                                "0;t\x07\xFC",
                                6); // C1 as a byte, Latin-1
    EXPECT_EQ(DeviceTable({a, b}),
              "IP          MAC  Firmware  Type    Status  Adapter  Description\n"
              "10.77.1.10  N/A  N/A       K\xC3\xBChler          N/A      "
              "K\xC3\xBChlraum\xE2\x90\x8D\xE2\x90\x8A"
              "10-01-01 [x] forged\xE2\x90\x87\xEF\xBF\xBD"
              "2J\n"
              "10.77.1.11  N/A  N/A       K\xC3\xBChl            N/A      "
              "\xEF\xBF\xBD"
              "0;t\xE2\x90\x87\xC3\xBC\n"
              "2 device(s) found.\n");
}

// JSON keeps every character exactly: read by the same rule, escaped, never
// replaced; the output is ASCII whatever a device sends.
TEST(CliOutput, JsonEscapesEveryCharacterExactly) {
    struct Case {
        std::string bytes, json;
    };
    const Case cases[] = {
        {"K\xC3\xBChlraum", "\"K\\u00fchlraum\""}, // UTF-8
        {"K\xFChlraum", "\"K\\u00fchlraum\""},     // Latin-1: the same
        {"a\r\nb\x1B[2J\x07\x7F", "\"a\\r\\nb\\u001b[2J\\u0007\\u007f\""},
        {"\xC2\x9B\xC2\x9D", "\"\\u009b\\u009d\""}, // C1 as UTF-8
        {"\x9B\x9D", "\"\\u009b\\u009d\""},         // C1 as bytes
        {"\xEF\xB7\x90\xE2\x80\xA8", "\"\\ufdd0\\u2028\""},
        {"\xF0\x9F\x98\x80", "\"\\ud83d\\ude00\""}, // beyond U+FFFF
        {"\xF4\x8F\xBF\xBF", "\"\\udbff\\udfff\""}, // U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonString(c.bytes), c.json) << c.bytes;
}

namespace {

// A standard output that takes nothing, as /dev/full.
class TFullOutput final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

} // namespace

// A result that could not be written is a failure with the system's reason;
// the status of a usage error stays, and a full output is no failure while
// nothing is written to it.
TEST(CliOutput, UnwrittenResultEndsWithStatusOne) {
    TFullOutput full;
    std::ostream out(&full);
    std::ostringstream err;
    const int status = RunCli({"--version"}, true, out, err);
    EXPECT_EQ(ConcludeOutput(status, out, "No space left on device", err), ExitFailed);
    EXPECT_EQ(err.str(), "quorvet-cli: cannot write to standard output: No space left on device\n");

    struct TCase {
        int status, concluded;
    };
    for (const TCase c : {TCase{ExitDone, ExitFailed}, TCase{ExitNotSeen, ExitFailed},
                          TCase{ExitFailed, ExitFailed}, TCase{ExitUsage, ExitUsage}}) {
        std::ostream failed(&full);
        failed << "x";
        std::ostringstream why;
        EXPECT_EQ(ConcludeOutput(c.status, failed, "", why), c.concluded) << c.status;
        EXPECT_EQ(why.str(), "quorvet-cli: cannot write to standard output: write error\n");
    }

    std::ostream unused(&full);
    std::ostringstream none;
    EXPECT_EQ(ConcludeOutput(ExitNotSeen, unused, "", none), ExitNotSeen);
    std::ostringstream good, quiet;
    good << "0 device(s) found.\n";
    EXPECT_EQ(ConcludeOutput(ExitDone, good, "", quiet), ExitDone);
    EXPECT_EQ(none.str() + quiet.str(), "");
}

TEST(CliOutput, TraceLineShowsVerdictPeerAndFirstBytes) {
    using TKind = TXportSearch::TTraceEvent::TKind;
    TXportSearch::TTraceEvent e;
    e.Ms = 12;
    e.Kind = TKind::Sent;
    e.Adapter = "10.77.1.1";
    e.Port = 30718;
    e.Length = 4;
    e.Head = std::string("\x00\x00\x00\xf6", 4);
    EXPECT_EQ(
        TraceLine(e),
        "trace     12 ms  sent         adapter 10.77.1.1  to broadcast:30718  len 4  000000f6");
    e.Ms = 1234567;
    e.Kind = TKind::Stray;
    e.Peer = "10.77.1.202";
    e.Port = 30718;
    e.Length = 130;
    e.Head = std::string("\xff\xfe\x00\x01\x02\x03\x04\x05", 8);
    EXPECT_EQ(TraceLine(e), "trace 1234567 ms  stray       adapter 10.77.1.1  from "
                            "10.77.1.202:30718  len 130  fffe000102030405...");
    // A datagram the link could not take has no sender.
    e.Kind = TKind::Skipped;
    e.Peer.clear();
    e.Port = 0;
    e.Length = 0;
    e.Head.clear();
    EXPECT_EQ(TraceLine(e).substr(18), "skipped     adapter 10.77.1.1  from -  len 0  ");
}

TEST(CliOutput, CsvQuotesEveryFieldAndKeepsTextsExactly) {
    std::vector<TXportPar> devices = Sample();
    devices[1].Description = std::string("Line \"A\"\r\nK\xFChlraum", 18); // Latin-1 bytes
    EXPECT_EQ(DeviceCsv(devices),
              "IP,MAC,Firmware,Description,DeviceType,StatusChar,AdapterIP\r\n"
              "\"10.77.1.10\",\"00-20-4A-01-02-03\",\"1-4-5.02\",\"Boiler \"\"room\"\"\","
              "\"QT101\",\"\",\"10.77.1.1\"\r\n"
              "\"10.77.2.20\",\"N/A\",\"N/A\",\"Line \"\"A\"\"\r\nK\xC3\xBChlraum\",\"N/A\",\"A\","
              "\"10.77.2.1\"\r\n");
    EXPECT_EQ(DeviceCsv({}), "IP,MAC,Firmware,Description,DeviceType,StatusChar,AdapterIP\r\n");
}
