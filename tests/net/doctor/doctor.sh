#!/usr/bin/env bash
# quorvet-cli doctor against the causes it names, each made in the
# computer's namespace of tests/net/doctor/doctor.net and undone afterwards:
# the reverse-path filter (and the search that then misses the device on a
# foreign subnet), adapters without an address or switched off, a firewall
# rule dropping the replies (where nft is installed), and a user without the
# right to ping or to make ARP-table entries.
#
#   doctor.sh QUORVET-CLI        (as the computer of doctor.net)
set -uo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[[ $# -eq 1 && -x $1 ]] || fail "usage: doctor.sh QUORVET-CLI"
CLI=$1
# Only inside a test network: the cases change the namespace's settings.
[[ -n ${QVNET_ID:-} ]] || fail "QVNET_ID is not set; run inside tests/net/qvnet run doctor.net"
for dev in /sys/class/net/*; do
    name=${dev##*/}
    [[ $name == lo || $name =~ ^qv[0-9]+$ ]] || fail "interface $name is visible: not a qvnet namespace"
done

WORK=$(mktemp -d) || fail "no temporary folder"
chmod 755 "$WORK"
cleanup() {
    sysctl -q -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.qv0.rp_filter=0 \
        net.ipv4.ping_group_range="1 0" >/dev/null
    ip link del qv9 2>/dev/null
    ip link del qv7 2>/dev/null
    command -v nft >/dev/null && nft delete table inet qvdoctor 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
# A settings file of the test's own, so that none of the machine counts.
SETTINGS=$WORK/Quorvet.ini
printf '[Connection]\nReadTimeout=500\n' >"$SETTINGS"
chmod 644 "$SETTINGS"

FAILED=0
DOC_OUT=
DOC_STATUS=
# doctor [setpriv words...]: runs doctor, keeps its lines and exit status.
doctor() {
    DOC_OUT=$("$@" "$CLI" doctor --settings "$SETTINGS" 2>"$WORK/err")
    DOC_STATUS=$?
    [[ -s $WORK/err ]] && { echo "doctor wrote to stderr:"; cat "$WORK/err"; FAILED=1; }
}
expect_status() {
    [[ $DOC_STATUS == "$1" ]] || { echo "FAIL ($CASE): doctor exit status $DOC_STATUS, expected $1"; echo "$DOC_OUT"; FAILED=1; }
}
expect_line() { # a line starting with the text
    if ! awk -v p="$1" 'index($0, p) == 1 { found = 1 } END { exit !found }' <<<"$DOC_OUT"; then
        echo "FAIL ($CASE): no line starting with: $1"
        echo "$DOC_OUT"
        FAILED=1
    fi
}
expect_no_line() {
    if awk -v p="$1" 'index($0, p) == 1 { found = 1 } END { exit !found }' <<<"$DOC_OUT"; then
        echo "FAIL ($CASE): unexpected line starting with: $1"
        echo "$DOC_OUT"
        FAILED=1
    fi
}
# search_lists IP yes|no
search_lists() {
    local out
    out=$("$CLI" search --timeout 500 --settings "$SETTINGS") || { echo "FAIL ($CASE): search failed"; FAILED=1; }
    if grep -qw -- "${1//./\\.}" <<<"$out"; then
        [[ $2 == yes ]] || { echo "FAIL ($CASE): search lists $1"; echo "$out"; FAILED=1; }
    else
        [[ $2 == no ]] || { echo "FAIL ($CASE): search does not list $1"; echo "$out"; FAILED=1; }
    fi
}

CASE="root, nothing in the way"
doctor
echo "--- $CASE"; echo "$DOC_OUT"
expect_status 0
expect_line "ok: adapters: qv0 10.77.1.1/255.255.255.0, up, link"
expect_line "ok: reverse-path filter: qv0: off"
expect_line "ok: ping: this user may open an ICMP socket"
expect_line "ok: ARP table: "
expect_line "ok: receive queue: "
expect_line "ok: settings: $SETTINGS: [Connection] ReadTimeout=500: the search waits 500 ms"
expect_no_line "problem: "
search_lists 10.77.1.10 yes
search_lists 192.168.1.213 yes

CASE="strict reverse-path filter"
sysctl -q -w net.ipv4.conf.all.rp_filter=1 net.ipv4.conf.qv0.rp_filter=1 || fail "sysctl"
doctor
echo "--- $CASE"; echo "$DOC_OUT"
expect_status 1
expect_line "problem: reverse-path filter: qv0: strict (net.ipv4.conf.all.rp_filter=1, net.ipv4.conf.qv0.rp_filter=1): the replies of a device on a subnet other than the adapter's are dropped"
search_lists 10.77.1.10 yes
search_lists 192.168.1.213 no

CASE="loose reverse-path filter without a default route"
sysctl -q -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.qv0.rp_filter=2 || fail "sysctl"
doctor
expect_status 1
expect_line "problem: reverse-path filter: qv0: loose (net.ipv4.conf.all.rp_filter=0, net.ipv4.conf.qv0.rp_filter=2) without a default route"
search_lists 192.168.1.213 no
sysctl -q -w net.ipv4.conf.qv0.rp_filter=0 || fail "sysctl"
search_lists 192.168.1.213 yes

CASE="adapters without an address or switched off"
# veth pairs inside the namespace (no kernel module needed): qv9-qv8 up
# without addresses, qv7-qv6 left off.
ip link add qv9 type veth peer name qv8 && ip link set qv9 up && ip link set qv8 up &&
    ip link add qv7 type veth peer name qv6 || fail "extra adapters"
doctor
echo "--- $CASE"; echo "$DOC_OUT"
expect_status 1
expect_line "problem: adapters: qv9 is up but has no IPv4 address: it is not searched"
expect_line "note: adapters: qv7 is down: it is not searched"
expect_line "ok: adapters: qv0 "
ip link del qv9 && ip link del qv7 || fail "removing the extra adapters"

CASE="firewall rule dropping the replies"
if command -v nft >/dev/null; then
    nft add table inet qvdoctor &&
        nft add chain inet qvdoctor input '{ type filter hook input priority 0; policy accept; }' &&
        nft add rule inet qvdoctor input udp sport 30718 drop || fail "nft rule"
    doctor
    echo "--- $CASE"; echo "$DOC_OUT"
    expect_status 1
    expect_line "problem: firewall: nftables table inet qvdoctor, chain input: \"udp sport 30718 drop\" drops the replies: no device is heard"
    search_lists 10.77.1.10 no
    nft delete table inet qvdoctor || fail "removing the nft table"
    doctor
    expect_line "ok: firewall: no nftables rule drops"
else
    echo "SKIP ($CASE): nft is not installed (package nftables)"
fi

NOBODY=(setpriv --reuid=nobody --regid=nogroup --clear-groups env QUORVET_PING_PROGRAM=)
CASE="nobody without ping"
sysctl -q -w net.ipv4.ping_group_range="1 0" || fail "sysctl"
doctor "${NOBODY[@]}"
echo "--- $CASE"; echo "$DOC_OUT"
expect_status 1
expect_line "problem: ping: this user may open no ICMP socket (net.ipv4.ping_group_range=\"1 0\") and there is no ping program: every IP change fails"
expect_line "problem: ARP table: the ARP-table way of the IP change needs root (or CAP_NET_ADMIN)"
expect_line "note: firewall: the rules cannot be read ("
expect_line "ok: settings: "

CASE="nobody with ping allowed for its group"
sysctl -q -w net.ipv4.ping_group_range="65534 65534" || fail "sysctl"
doctor "${NOBODY[@]}"
expect_line "ok: ping: this user may open an ICMP socket"

CASE="nobody with the system's ping program"
sysctl -q -w net.ipv4.ping_group_range="1 0" || fail "sysctl"
if [[ -x /usr/bin/ping ]]; then
    doctor setpriv --reuid=nobody --regid=nogroup --clear-groups
    expect_line "ok: ping: no ICMP socket for this user (net.ipv4.ping_group_range=\"1 0\"); the IP change pings through /usr/bin/ping"
fi

[[ $FAILED == 0 ]] || fail "see above"
echo "PASS"
