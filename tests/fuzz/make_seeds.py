#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (corpus/<target>/). The seeds are small
well-formed inputs, and a few near misses, from which the fuzzer starts; rerun after a
change of an input layout and commit the result."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def header_line(token, kind):
    return ("MORVENAL %s %s ROM" % (token, kind)).ljust(30).encode() + b"\r\n"


def header(line, volume):
    return line + b"FW 1.23 20261206" + b"%02d" % volume + b"    \r\n"


def record(data):
    return bytes([len(data) // 2]) + data + bytes([sum(data) & 0xFF])


def section(records, seed, pairs=5):
    out = b""
    for i in range(records):
        out += record(bytes((seed * 31 + i * 7 + j) & 0xFF for j in range(pairs * 2)))
    return out + b"\x00"


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def reader_seeds():
    main = header(header_line("RT71", "MAIN"), 1) + section(4, 1)
    sub = header(header_line("RT71", "SUB"), 1) + section(3, 2) + section(2, 3)
    # byte 0: model 0, bit 3 two volumes, bits 4-5 checked kind; bytes 1-2 the split.
    write("fuzz_record_reader", "main-unchecked", b"\x00\x00\x00" + main)
    write("fuzz_record_reader", "main-checked", b"\x10\x00\x00" + main)
    write("fuzz_record_reader", "sub-checked", b"\x20\x00\x00" + sub)
    vol1 = header(header_line("RT71", "SUB"), 1) + section(3, 4)
    vol2 = header(header_line("RT71", "SUB"), 2) + section(3, 5)
    split = len(vol1)
    write("fuzz_record_reader", "sub-two-volumes", bytes([0x28, split & 0xFF, split >> 8]) + vol1 + vol2)
    cut = header(header_line("RT71", "MAIN"), 1) + record(bytes(range(1, 11)))[:-3]
    write("fuzz_record_reader", "record-cut-short", b"\x00\x00\x00" + cut)
    bad = bytearray(main)
    bad[57] ^= 0x40
    write("fuzz_record_reader", "bad-checksum", b"\x10\x00\x00" + bytes(bad))
    write("fuzz_record_reader", "longest-record", b"\x00\x00\x00" + header(header_line("RT71", "MAIN"), 1)
          + record(bytes(i & 0xFF for i in range(510))) + b"\x00")
    write("fuzz_record_reader", "short-volume", b"\x00\x00\x00" + main[:49])
    write("fuzz_record_reader", "model-kp90", b"\x34\x00\x00" + header(header_line("KP90", "PATTERN"), 1) + section(2, 6))


def usb_seeds():
    write("fuzz_usb_reply", "identification", b"\x80MORVENAL 0\r\n")
    write("fuzz_usb_reply", "other-number", b"\x80RT71,SN1,3\r\nRT71,SN2, -12x\n")
    write("fuzz_usb_reply", "short-reply", b"\x80ABC\r\n")
    write("fuzz_usb_reply", "nul-ends", b"\x80MORVENAL 7\x00rest")
    write("fuzz_usb_reply", "too-long", b"\x80" + b"A" * 300 + b"\n")
    write("fuzz_usb_reply", "small-capacity", b"\x05abcdefgh\r\n\r\r\nxy")
    write("fuzz_usb_reply", "no-end", b"\x80MORVENAL 0")
    write("fuzz_usb_reply", "huge-number", b"\x80XXXXXXXX99999999999999999999\n")


def edit_seeds():
    def text(t):
        return bytes([len(t)]) + t

    log = b""
    for message in [b"Opening File...\r\n", b"Detecting Target...\r\n", b"Sending START record...\r\n"]:
        log += b"\x03" + text(message)
    for n in (1, 65, 129):
        log += b"\x04" + text(b"Sending (%d) Record" % n)
    log += b"\x03" + text(b"\r\nTransfer completed.\r\n")
    write("fuzz_edit_text", "status-log", log)
    write("fuzz_edit_text", "select-replace", b"\x00" + text(b"ab\r\ncd\r\n") + b"\x01\x01\x05\x02" + text(b"X\r")
          + b"\x01\xff\xff\x02" + text(b"\n") + b"\x05\x03\x05\xff")
    write("fuzz_edit_text", "out-of-range", b"\x01\x7f\x80\x02" + text(b"zz") + b"\x05\x80\x04" + text(b""))


def update_seeds():
    handshake = b"\xaaMORVENAL\r\n\x38Y"
    acks = {0: 2, 1: 4, 2: 3, 3: 1}
    for variant, count in acks.items():
        for fast in (0, 4):
            write("fuzz_update_run", "good-%d-%d" % (variant, fast), bytes([variant | fast]) + handshake + b"Y" * count)
    write("fuzz_update_run", "wrong-sync", b"\x00\x55MORVENAL\r\n\x38YYY")
    write("fuzz_update_run", "short-ident", b"\x00\xaaMORVEN")
    write("fuzz_update_run", "wrong-size-echo", b"\x04\xaaMORVENAL\r\n\x37YYY")
    write("fuzz_update_run", "header-nak", b"\x04\xaaMORVENAL\r\nN")
    write("fuzz_update_run", "ack-nak", b"\x01" + handshake + b"YYN")
    write("fuzz_update_run", "silent", b"\x02")


def text_seeds():
    # The cases of the unit tests, and the shapes a person writes.
    lists = {"comments-blanks-crlf": b"# line 1\r\n127.0.0.1:8024   # bench A\r\n\n   \t\nusb:2\r\n127.0.0.3",
             "named-twice": b"127.0.0.1:8023\n127.0.0.1\n", "bad-lines": b"127.0.0.1\n127.0.0\nusb:x\nusb:-1\n",
             "bom": b"\xef\xbb\xbf127.0.0.1:8023\nusb:0\n", "long-line": b"# " + b"x" * 255 + b"\n127.0.0.1\n",
             "many": b"".join(b"127.0.%d.%d:%d\n" % (i // 256, i % 256, 8023 + i % 7) for i in range(40)),
             "usb-numbers": b"usb:0\nusb:3\r\nusb:2147483647\n  usb:12  # bench\n",
             "ranges": b"127.0.0.1-127.0.0.4:8023-8024\n127.0.0.9-127.0.0.8\n127.0.0.2:8024\n10.0.0.0-10.0.4.0\n"}
    addresses = [b"127.0.0.1", b"127.0.0.1:8023", b"255.255.255.255:65535", b"127.0.0.1:0", b"127.0.0.1:70000",
                 b"127.0.0.1:99999999999", b"010.001.000.009:00080", b"1.2.3", b"1.2.3.256", b"[::1]:8023",
                 b"::ffff:127.0.0.1", b"127.0.0.1:", b"+1.-2.3.4:+5", b" 127.0.0.1 ", b"localhost:8023"]
    # FuzzedDataProvider ends a string at a backslash and another byte; "\\" is one in it.
    texts = [[b"127.0.0.1:8023", b"Sending (65) Record", b"Insert disk 2", b"/data/fw2.R71", b"missing", b"ok"],
             [b"", b"\r\nTransfer completed.\r\n\x00\x1b[2J\x7f", b"\t\"quoted\"\\", b"\xc2\x9b31m\x08\x0c"],
             [b"usb:3", "Übertragung ファイル 😀".encode(), b"\xef\xbb\xbfBOM", "fwé.R71".encode()],
             [b"\xff", b"MORVENAL \xe2\x82", b"\xc0\xaf\xe0\x80\xaf", b"\xed\xa0\x80", b"\xf4\x90\x80\x80",
              b"\xf0\x9f\x98", b"\x80\xbf\xc2" * 301, b"a\xe2\x28\xa1\xe2\x82\xac" * 200]]
    for name, text in lists.items():
        write("fuzz_target_list", name, text)
    for i, text in enumerate(addresses):
        write("fuzz_target_address", "address-%02d" % i, text)
    for name, fields in zip(["plain", "controls", "utf8", "invalid-utf8"], texts):
        write("fuzz_json_events", name, b"\\x".join(t.replace(b"\\", b"\\\\") for t in fields))


def sim_session_seeds():
    start = b":UP:EXEC\r\n\x55MORVENAL\r\n\x38"

    def update(token, kind, sections):
        return start + header(header_line(token, kind), 1) + b"".join(section(n, k) for k, n in enumerate(sections))

    # byte 0: the fault plan (0 none, see kPlans); the rest is the host's side.
    for name, data in [("main", update("RT71", "MAIN", [3])), ("sub", update("RT71", "SUB", [2, 1])),
                       ("pattern-kp90", update("KP90", "PATTERN", [1])), ("block", update("RT23", "MAIN", [70])),
                       ("extra-after-end", update("RT54", "MAIN", [1]) + b"\x00"),
                       ("bad-checksum", update("RT71", "MAIN", [2])[:-2] + b"\xff\x00"),
                       ("unknown-header", start + header(header_line("ZZ99", "MAIN"), 1)),
                       ("cut-in-record", update("RT71", "MAIN", [2])[:-9]), ("wrong-command", b":UP:EXEX\r\n")]:
        write("fuzz_sim_session", name, b"\x00" + data)
    for plan in range(1, 12):
        write("fuzz_sim_session", "fault-%02d" % plan, bytes([plan]) + update("RT71", "SUB", [70, 2]))


if __name__ == "__main__":
    reader_seeds()
    usb_seeds()
    edit_seeds()
    update_seeds()
    text_seeds()
    sim_session_seeds()
    sys.exit(0)
