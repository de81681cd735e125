#!/usr/bin/env python3
"""Lower bound of a search of one test network, measured on that network.

Per adapter, one after the other so that nothing else competes: broadcast the
discovery query and time the last expected reply; then ask every device that
answers the broadcast for its info reply, one after the other, each exchange
timed (a device silent to it costs the three waits of ReadTimeout that any
search must spend on it). The bound of an adapter is

    last discovery reply + one ReadTimeout of silence + its info exchanges

and the bound of the network is that of its slowest adapter: a search that
runs the adapters side by side cannot end before it.

The floor of the overlapped search, which broadcasts on every adapter at once
and then asks every device at once, is instead measured the same way: one
broadcast on every adapter together, the last discovery reply of them all,
then every answering device asked at once (as fast as the sockets take the
requests), and

    last discovery reply + one ReadTimeout of silence + the slowest device's
    round trip

where the slowest round trip is the last info reply after the requests went
out: with a thousand devices it includes the time the network and the
simulated devices need to answer them all, which no search can beat. (Asked
one adapter after the other, or one device after the other, the burst is
smaller and the bound too low for many adapters.)

Usage: rtt_probe.py NETFILE READTIMEOUT_MS   (inside the test network only)
Prints: bound_ms slowest_adapter unicast_ms_of_that_adapter floor_ms
"""
import select
import shlex
import socket
import sys
import time

PORT = 30718
QUERY = bytes([0, 0, 0, 0xF6])
INFO = bytes([0, 0, 0, 0xE4])


def parse(netfile):
    adapters, devices = [], {}
    with open(netfile) as f:
        for raw in f:
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            words = shlex.split(line)
            if words[0] == "adapter":
                adapters.append(words[1].split("/")[0])
            elif words[0] == "device":
                keys = {}
                for w in words[2:]:
                    k, _, v = w.partition("=")
                    keys[k] = v
                devices.setdefault(int(words[1]) - 1, []).append(keys)
    return adapters, devices


def probe_adapter(address, devices, timeout):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
    s.bind((address, 0))
    answering = [d for d in devices if "silent" not in d]
    expected = sum(1 + int(d.get("dup", "0")) for d in answering)
    start = time.monotonic()
    s.sendto(QUERY, ("255.255.255.255", PORT))
    last = start
    got = 0
    while got < expected:
        left = start + 2 * timeout - time.monotonic()
        if left <= 0:
            break
        s.settimeout(left)
        try:
            s.recvfrom(8192)
        except socket.timeout:
            break
        got += 1
        last = time.monotonic()
    discovery = last - start
    # Late duplicates must not be taken for info replies.
    s.settimeout(0.05)
    try:
        while True:
            s.recvfrom(8192)
    except (socket.timeout, BlockingIOError):
        pass
    unicast = 0.0
    slowest = 0.0
    for d in answering:
        ip = d["ip"]
        t = time.monotonic()
        s.sendto(INFO, (ip, PORT))
        for _ in range(3):
            s.settimeout(timeout)
            try:
                _, peer = s.recvfrom(8192)
                if peer[0] == ip:
                    break
            except socket.timeout:
                continue
        unicast += time.monotonic() - t
        slowest = max(slowest, time.monotonic() - t)
    s.close()
    return discovery + timeout + unicast, unicast, discovery + timeout + slowest


def floor_all_at_once(adapters, devices, timeout):
    """Broadcast on every adapter together, then ask every device together."""
    socks = []
    for address in adapters:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        s.bind((address, 0))
        s.setblocking(False)
        socks.append(s)
    answering = {i: [d for d in devices.get(i, []) if "silent" not in d]
                 for i in range(len(adapters))}
    expected = sum(1 + int(d.get("dup", "0")) for ds in answering.values() for d in ds)

    def drain(until, want, count):
        got = 0
        last = None
        while got < want:
            left = until - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select(socks, [], [], left)
            for s in ready:
                while True:
                    try:
                        data, peer = s.recvfrom(8192)
                    except BlockingIOError:
                        break
                    if count(data, peer):
                        got += 1
                        last = time.monotonic()
        return last

    start = time.monotonic()
    for s in socks:
        s.sendto(QUERY, ("255.255.255.255", PORT))
    last = drain(start + 2 * timeout, expected, lambda d, p: True) or start
    discovery = last - start
    drain(time.monotonic() + 0.05, 1 << 30, lambda d, p: False)  # late duplicates

    asked = {d["ip"] for ds in answering.values() for d in ds if "no_info" not in d}
    t = time.monotonic()
    for i, s in enumerate(socks):
        for d in answering[i]:
            if d["ip"] in asked:
                while True:
                    try:
                        s.sendto(INFO, (d["ip"], PORT))
                        break
                    except BlockingIOError:
                        select.select([], [s], [], 0.01)
    heard = set()

    def info(data, peer):
        if peer[0] in asked and peer[0] not in heard and len(data) > 3 and data[3] == 0xE5:
            heard.add(peer[0])
            return True
        return False

    done = drain(t + timeout, len(asked), info)
    slowest = (done - t) if done else 0.0
    if any("no_info" in d for ds in answering.values() for d in ds):
        slowest = max(slowest, 3 * timeout)  # the three waits any search spends on it
    for s in socks:
        s.close()
    return discovery + timeout + slowest


def main():
    netfile, timeout = sys.argv[1], int(sys.argv[2]) / 1000.0
    adapters, devices = parse(netfile)
    worst = (0.0, "", 0.0)
    for i, address in enumerate(adapters):
        bound, unicast, _ = probe_adapter(address, devices.get(i, []), timeout)
        if bound > worst[0]:
            worst = (bound, address, unicast)
    floor = floor_all_at_once(adapters, devices, timeout)
    print("%d %s %d %d" % (round(worst[0] * 1000), worst[1] or "-", round(worst[2] * 1000),
                           round(floor * 1000)))


if __name__ == "__main__":
    main()
