#!/usr/bin/env python3
"""Writes the hand-made seeds of the fuzz harnesses (run from anywhere;
files found by the fuzzers later, such as crash regressions, sit beside
them and are kept). Each seed is a valid input of its kind."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(harness, name, data):
    os.makedirs(os.path.join(HERE, harness), exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(HERE, harness, name), "wb") as f:
        f.write(data)


def discovery(mac):
    r = bytearray(30)
    r[3] = 0xF7
    r[24:30] = mac
    return bytes(r)


def reply(command, kind, version, model, text, offset, status=b"S"):
    r = bytearray(130)
    r[3] = command
    r[offset:offset + len(text)] = text
    r[81] = status[0]
    r[82] = kind
    r[83:86] = bytes(version)
    r[86] = model
    return bytes(r)


def info(kind, version, model, text, status=b"S"):
    return reply(0xE5, kind, version, model, text, 4, status)


def setup(kind, version, model, text, status=b"S"):
    return reply(0xE7, kind, version, model, text, 36, status)


MAC1 = bytes([0x00, 0x20, 0x4A, 0x01, 0x02, 0x03])
MAC2 = bytes([0x00, 0x20, 0x4A, 0xE2, 0x02, 0x30])
COLD = b"Cold store 4, north wall, rack 12, shelf 3, humidity+temperature."

# Reply decoders: firmware text, line break, the reply.
write("fuzz_replies", "discovery", b"\n" + discovery(MAC1))
write("fuzz_replies", "info-kind1", b"1-4-5.02\n" + info(1, (4, 5, 2), 8, b"Boiler room"))
write("fuzz_replies", "info-full-description", b"1-4-5.02\n" + info(1, (4, 5, 2), 101, COLD[:65]))
write("fuzz_replies", "setup-kind6-status", b"6-1-0.03\n" + setup(6, (1, 0, 3), 6, b"Setup desc", b"A"))
write("fuzz_replies", "info-kind5-old", b"5-5-1.22\n" + info(5, (5, 1, 22), 1, b"none shown"))
write("fuzz_replies", "short", b"x\n\x00\x00\x00\xe5")

# Search engine: options byte, then (header, length, bytes) records.
def rec(what, adapter, device, data, late=False):
    header = what | (adapter << 2) | (device << 3) | (0x40 if late else 0)
    return bytes([header, len(data)]) + data


write("fuzz_search", "one-device", b"\x00" + rec(0, 0, 0, discovery(MAC1))
      + rec(1, 0, 0, info(1, (4, 5, 2), 8, b"Boiler room")))
write("fuzz_search", "kind6-setup-two-adapters", b"\x02"
      + rec(0, 0, 0, discovery(MAC1)) + rec(1, 0, 0, info(6, (1, 0, 3), 6, b""))
      + rec(2, 0, 0, setup(6, (1, 0, 3), 6, b"Setup desc", b"A"))
      + rec(0, 1, 1, discovery(MAC2)) + rec(1, 1, 1, info(1, (4, 5, 2), 101, COLD[:65])))
write("fuzz_search", "duplicates-late-junk", b"\x03"
      + rec(0, 0, 0, discovery(MAC1)) + rec(0, 0, 0, discovery(MAC1)) + rec(3, 0, 0, b"")
      + rec(1, 0, 0, info(3, (1, 0, 0), 0, b"")) + rec(0, 1, 2, discovery(MAC2), late=True)
      + rec(0, 0, 3, b"\x00\x00\x00\xf7"))

# Settings files.
write("fuzz_settings", "types", "[GlobalTypes]\r\nSensor101=Boiler probe\r\nLogger6=Cold store\r\n")
write("fuzz_settings", "connection", "; comment\n[Connection]\nReadTimeout=0x7D0\n\n[connection]\nReadTimeout=5\n")
write("fuzz_settings", "search-buttons", "[Search]\r\nButtonSet=$3E\r\n[Files]\r\nFolder=/srv/measurements\r\n")
write("fuzz_settings", "odd", "key=before section\n[ Spaced ]\n = empty key\nx=y=z\n[unterminated\n")

# Validators and converters: up to three lines.
write("fuzz_convert", "addresses", "192.168.1.213\n10.77.2.30\n0.0.0.0")
write("fuzz_convert", "leading-zeros", "010.077.001.010\n255.255.255.255\n256.1.1.1")
write("fuzz_convert", "macs", "00-20-4A-01-02-03\n00:20:4a:e2:02:30\n00-20-4A-E3-0D-13")
write("fuzz_convert", "firmware", "1-4-5.02\n6-1-0.3\n10-1-0.100")
write("fuzz_convert", "numbers", "0x7FFFFFFF\n-2147483648\n$1F")
write("fuzz_convert", "hex", "000000FC49502D5345545550\nABC\n0G")

# IP-SETUP datagram: MAC line, address line.
write("fuzz_ipsetup", "device", "00-20-4A-E3-0D-13\n10.77.1.50")
write("fuzz_ipsetup", "colon-dhcp", "00:20:4a:01:02:03\n0.0.0.0")
write("fuzz_ipsetup", "refused", "00-20-4A-01-02\n10.77.1.256")

# NETFILE descriptions.
write("fuzz_netfile", "every-key",
      "# comment\nadapter 10.77.1.1/24 gw=10.77.1.254\nadapter 10.77.2.1/16\n"
      "device 1 ip=10.77.1.10 mac=00-20-4A-01-02-03 kind=1 version=4.5.2 model=8 "
      "info=\"Boiler \\\"room\\\" \\\\ \\x41\" setup=\"Setup desc\" status=A fill=0xFF delay=5 "
      "disc_delay=3 dup=2\n"
      "device 2 ip=10.77.2.20 mac=00:20:4a:01:02:04 kind=0x06 version=1.0.3 model=6 status=0x41 "
      "disc_len=20 info_len=140 setup_len=0 no_info no_setup no_ipsetup from=10.77.2.21 "
      "chatter=50 dhcp=10.77.2.99\n"
      "device 1 ip=192.168.1.213 mac=00-20-4A-E3-0D-13 silent\n")
write("fuzz_netfile", "broadcast-device", "adapter 10.77.1.1/24\ndevice 1 ip=10.77.1.255 mac=00-20-4A-00-00-01\n")
write("fuzz_netfile", "error", "adapter 10.77.1.1/24\ndevice 2 ip=10.77.1.10 mac=00-20-4A-00-00-01\n")
