#!/usr/bin/env python3
"""Outside peer for the Art-Net storm run; its analysis also serves bench/soak.sh.

  wirepeer.py storm <seconds> <rate> <summary.json>
      Sends a mixed storm to the program at 10.77.0.1 / 192.168.77.1 from the
      peer namespace: random datagrams of 0-1500 bytes, Art-Net headers with
      every OpCode and every length 0-600, ArtDmx with every Length field and
      too few or too many bytes, ArtPoll floods from the peer and from forged
      addresses (raw socket), to the unicast and the broadcast addresses.
      Bounded by count (seconds * rate) and by time (seconds + 2).
  wirepeer.py analyse <fields.csv> <phases.json>
      Reads tshark fields (time, src, dst, payload) of what the program sent
      and prints JSON: ArtTimeCode per destination with missed and repeated
      frames, ArtPollReply counts per phase.
"""
import json
import os
import random
import socket
import struct
import sys
import time

ID = b"Art-Net\0"
PORT = 6454
UNICAST = ["10.77.0.1", "192.168.77.1"]
BROADCAST = ["10.77.0.255", "192.168.77.255"]
FORGED = [f"10.77.0.{i}" for i in range(10, 60)]
KNOWN_OPS = [0x2000, 0x2100, 0x5000, 0x5101, 0x5200, 0x5202, 0x9700, 0x9900, 0x2300, 0x6000]


def art(op, body=b""):
    return ID + struct.pack("<H", op) + body


POLL = ID + bytes([0x00, 0x20, 0, 14, 0, 0])


def dmx(length_field, actual, universe):
    header = art(0x5000, bytes([0, 14, 0, 0, universe & 0xFF, universe >> 8]))
    return header + struct.pack(">H", length_field) + random.randbytes(actual)


def pool():
    """(kind, payload, source or None, target) in a shuffled order."""
    items = []
    rnd = random.Random(12)
    for _ in range(3000):
        n = rnd.randint(0, 1500)
        items.append(("random", rnd.randbytes(n)))
    for op in range(0x10000):  # every OpCode, a random length 0-600 each
        n = rnd.randint(0, 600)
        items.append(("opcode", (ID + struct.pack("<H", op) + rnd.randbytes(600))[:n]))
    for op in KNOWN_OPS:  # every length 0-600 of the ones we act on
        full = art(op, bytes([0, 14]) + rnd.randbytes(600))
        for n in range(0, 601):
            items.append(("length", full[:n]))
    for declared in list(range(0, 1025, 2)) + [0xFFFF, 0x8000]:
        actual = rnd.choice([0, 1, max(0, declared - 1), declared, declared + 1, 600])
        actual = min(actual, 1400)
        items.append(("dmx", dmx(declared, actual, rnd.choice([255, 0, 0x7FFF]))))
    for _ in range(3000):
        items.append(("poll", POLL))
    for _ in range(3000):
        items.append(("sync", art(0x5200, bytes([0, 14, 0, 0]))))
    for _ in range(6000):
        items.append(("forged poll", POLL))
    rnd.shuffle(items)
    return items


def ip_udp(source, target, payload):
    udp = struct.pack("!HHHH", PORT, PORT, 8 + len(payload), 0) + payload
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0,
                     socket.inet_aton(source), socket.inet_aton(target))
    return ip + udp


def storm(seconds, rate, summary_path):
    seconds, rate = float(seconds), int(rate)
    senders = {}
    for source in ("10.77.0.2", "192.168.77.2"):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.bind((source, PORT))
        senders[source] = s
    raw = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
    raw.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    items = pool()
    targets = UNICAST + BROADCAST
    counts, by_target = {}, {}
    total = int(seconds * rate)
    start = time.time()
    deadline = start + seconds + 2
    sent = 0
    batch = max(1, rate // 200)  # every 5 ms
    i = 0
    while sent < total and time.time() < deadline:
        due = start + sent / rate
        delay = due - time.time()
        if delay > 0:
            time.sleep(delay)
        for _ in range(batch):
            kind, payload = items[i % len(items)]
            target = targets[i % len(targets)]
            i += 1
            try:
                if kind == "forged poll":
                    # Forged sources sit in the first subnet; the program
                    # could only answer those it has an adapter in.
                    target = target if target.startswith("10.") else "10.77.0.1"
                    raw.sendto(ip_udp(FORGED[i % len(FORGED)], target, payload), (target, 0))
                else:
                    source = "10.77.0.2" if target.startswith("10.") else "192.168.77.2"
                    senders[source].sendto(payload, (target, PORT))
            except OSError:
                counts["send errors"] = counts.get("send errors", 0) + 1
                continue
            counts[kind] = counts.get(kind, 0) + 1
            by_target[target] = by_target.get(target, 0) + 1
            sent += 1
    end = time.time()
    summary = {"start": start, "end": end, "sent": sent, "rate": round(sent / (end - start)),
               "kinds": counts, "targets": by_target}
    with open(summary_path, "w") as f:
        json.dump(summary, f)


def analyse(fields_path, phases_path):
    phases = json.load(open(phases_path))  # name -> [from, to] epoch seconds
    codes, replies = {}, []
    for line in open(fields_path):
        parts = line.strip().split(",")
        if len(parts) < 4 or not parts[3]:
            continue
        t, src, dst, payload = float(parts[0]), parts[1], parts[2], bytes.fromhex(parts[3])
        if len(payload) < 10 or payload[:8] != ID:
            continue
        op = payload[8] | payload[9] << 8
        if op == 0x9700 and len(payload) >= 19:
            f, s, m, h, typ = payload[14:19]
            codes.setdefault(dst, []).append((t, h, m, s, f, typ))
        elif op == 0x2100:
            replies.append((t, dst))
    fps = {0: 24, 1: 25, 3: 30}
    report = {"timecode": {}, "replies": {}}
    for dst, rows in codes.items():
        missed = repeated = 0
        previous = None
        for t, h, m, s, f, typ in rows:
            rate = fps.get(typ, 30)
            index = ((h * 60 + m) * 60 + s) * rate + f
            if previous is not None:
                step = index - previous
                if step == 0:
                    repeated += 1
                elif step > 1:
                    missed += step - 1
            previous = index
        report["timecode"][dst] = {"frames": len(rows), "missed": missed, "repeated": repeated}
    for name, (a, b) in phases.items():
        inside = [d for t, d in replies if a <= t < b]
        report["replies"][name] = {"total": len(inside),
                                   "to": {d: inside.count(d) for d in sorted(set(inside))}}
    json.dump(report, sys.stdout, indent=1)
    print()


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "storm":
        storm(*sys.argv[2:5])
    elif command == "analyse":
        analyse(*sys.argv[2:4])
    else:
        sys.exit(__doc__)
