#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are small, valid (and a few nearly valid) inputs that lead each target deep into its parser:
copies of the test data and the shipped dimming curves, and device conversations made up here in the
chunk format of fuzztarget.h. Run it again after changing the test data or the chunk format; the files it
writes are committed, so building and fuzzing need no Python.

    python3 fuzz/make_corpus.py [BUILD_DIR]

BUILD_DIR (a configured test build) supplies a generated test firmware container, if it has one.
"""

import pathlib
import shutil
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

DEFAULT_IMAGE = bytes([
    0x0C, 0x00, 0x00, 0x64, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0xFF, 0x00, 0x00,
    0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF,
    0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xE8, 0x00, 0x32, 0x3C, 0x00, 0x64, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00,
    0xFF, 0x00, 0x00, 0xFF, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
])


def crc16(data, crc=0):
    """CRC-16/UMTS: polynomial 0x8005, start 0, not reflected."""
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def le16(value):
    return bytes([value & 0xFF, value >> 8])


def chunk(kind, data=b"", length=None):
    """One chunk of a stream target: control byte (kind in bits 6..7, number in bits 0..5), then its bytes
    (only for the kinds that carry bytes: then the number is their count)."""
    length = len(data) if length is None else length
    assert 0 <= kind <= 3 and 0 <= length <= 63 and len(data) <= length
    return bytes([kind << 6 | length]) + data


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("latin-1"))


def copy(target, source, name=None):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(source, folder / (name or source.name.replace(" ", "_")))


# ---- Files ----

def config_file(image, info="", signature="MMN", lines=6, end="\r\n"):
    text = signature + "%04X" % crc16(image[:16 * lines]) + info + end
    for line in range(lines):
        text += "".join("%02X" % b for b in image[16 * line:16 * line + 16]) + end
    return text


def firmware_container(firmware, version, end="\r\n", signature="FWX", lower=False):
    lines = max(1, (len(firmware) + 127) // 128)
    carried = firmware + bytes([0xFF]) * (128 * lines - len(firmware))
    text = signature + "%04X%02X%04X" % (len(firmware), version, crc16(carried)) + end
    for line in range(lines):
        digits = "".join("%02X" % b for b in carried[128 * line:128 * line + 128])
        text += (digits.lower() if lower else digits) + end
    return text


def make_files(build_dir):
    for source in sorted((ROOT / "tests" / "data").iterdir()):
        copy("configfile", source)
    write("configfile", "nine_lines_lf.qcf", config_file(DEFAULT_IMAGE + bytes(16), "Caf\xe9", lines=9, end="\n"))
    write("configfile", "firmware.qfw", firmware_container(bytes(range(40)), 7))

    write("firmwarecontainer", "one_line.qfw", firmware_container(bytes(range(100)), 72))
    write("firmwarecontainer", "three_lines_lf.qfw", firmware_container(bytes(range(256)) + bytes(20), 60, end="\n", lower=True))
    bad = firmware_container(bytes(200), 1)
    write("firmwarecontainer", "wrong_crc.qfw", bad[:9] + "0000" + bad[13:])
    write("firmwarecontainer", "no_signature.qfw", firmware_container(bytes(10), 5, signature="FWY"))
    if build_dir:
        generated = pathlib.Path(build_dir) / "src" / "firmware" / "test-50.qfw"
        if generated.exists():
            copy("firmwarecontainer", generated)

    for source in sorted((ROOT / "res" / "DimmingCurve").glob("*.dc")):
        copy("dimmingcurve", source)
    write("dimmingcurve", "bom_crlf_blanks.dc", "\ufeff".encode() + "".join(" %d \r\n" % min(100, i * i // 100) for i in range(101)).encode())
    write("dimmingcurve", "wrong_data.dc", "\n".join(["5"] * 50 + ["101"] + ["7"] * 50))

    write("inifile", "command.ini", "[Commands]\r\neraseAll=1\r\ncopyAstro=0\r\nset60Hz=1\r\nshowLog=1\r\n")
    write("inifile", "pdf.ini", "; report header\n[header]\nLINE1 = \"Lumeq Lighting, Main Street 1\"\nline2='Caf\xe9 \\ Bar, 2'\n")
    write("inifile", "bom_utf8.ini", b"\xef\xbb\xbf[Header]\nLine1=Stra\xc3\x9fe 5\n[Commands]\n# off\nshowLog=1\nshowLog=0\n")

    write("arguments", "module_write.args", b"write\0--slot\0002\0Caf\xe9.qcf\0--name=North\0--no-load-check")
    write("arguments", "short_output.args", b"-o\0M\xc3\xa9.qcf\0-oX\0--\0-dash.qcf\0\xee\xbf\xa9")
    write("arguments", "odd_bytes.args", b"\xc0\xaf\0\xed\xa0\x80\0\xf4\x90\x80\x80\0\xe2\x82\0--slot")

    write("simstate", "with_module.ini", sim_state(module=True))
    write("simstate", "stick_alone_faults.ini", sim_state(module=False, faults=True))
    write("simstate", "odd_values.ini", "[stick]\npresent=yes\nInputReportLength=0x40\nDeviceNumber=12 34 56 78\n"
          "[Faults]\nLoseAnswersAfter=-1\nConfirmAddressOffset=-128\nNoAnswer=maybe\n[ModuleMemory]\n0xFF80=8A65\n[Other]\nx=1\n")

    write("hiddescriptor", "plain_64.bin", bytes([
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
        0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x02, 0x91, 0x02, 0xC0]))
    write("hiddescriptor", "report_ids.bin", bytes([
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x85, 0x01, 0x95, 0x08, 0x81, 0x02,
        0x85, 0x02, 0x95, 0x20, 0x81, 0x02, 0x85, 0x03, 0x95, 0x10, 0x91, 0x02, 0x85, 0x04, 0x95, 0x3F,
        0x91, 0x02, 0x85, 0x05, 0x95, 0x04, 0xB1, 0x02, 0xC0]))
    write("hiddescriptor", "push_pop_long.bin", bytes([
        0x05, 0x01, 0x09, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x20, 0xA4, 0x75, 0x10, 0x95, 0x02, 0x81,
        0x02, 0xB4, 0x91, 0x02, 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x27, 0xFF, 0xFF, 0x00, 0x00, 0xC0]))
    write("hiddescriptor", "hidraw_path.txt", "/dev/hidraw3")


def sim_state(module, faults=False):
    text = "# simulated stick\n[Stick]\nPresent=true\nInputReportLength=64\nOutputReportLength=64\n" \
           "FeatureReportLength=0\nDeviceNumber=00000001\nFirmwareVersion=72\nReceivedFirmwareBytes=0\n" \
           "ReceivedFirmwareCrc=0x0000\n\n[Module]\nPresent=%s\n\n[Faults]\n" % ("true" if module else "false")
    if faults:
        text += "NoAnswer=false\nLoseAnswersAfter=40\nConfirmStatus=0\nConfirmAddressOffset=128\n" \
                "DelayPerReportMs=0\nRefuseBlockAddress=0x0200\nRefuseWrites=6\nBadReadCrc=2\n" \
                "RefuseFirmwareFrame=3\nUnplugAfter=100\n"
    text += "\n[StickMemory]\n"
    memory = DEFAULT_IMAGE + bytes([0xFF]) * 128
    for row in range(0, 256, 16):
        text += "%02X=%s\n" % (row, " ".join("%02X" % b for b in memory[row:row + 16]))
    if module:
        text += "\n[ModuleMemory]\n"
        control = control_block()
        stream = slot_stream(DEFAULT_IMAGE)
        for base, block in ((0x0000, stream), (0xFF80, control)):
            for row in range(0, 128, 16):
                text += "%04X=%s\n" % (base + row, " ".join("%02X" % b for b in block[row:row + 16]))
    return text


# ---- Module memory ----

def slot_stream(image):
    """The record stream of image bytes 0..95: eight records of 16 bytes."""
    stream = b""
    for k in range(8):
        address = 12 * k
        remaining = 96 - address
        length = remaining + 3 if remaining <= 12 else 15
        data = bytes(image[address + i] if address + i < 96 else 0xFF for i in range(12))
        crc = crc16(bytes([address]) + data)
        stream += bytes([length, address]) + data + le16(crc)
    return stream


def slot_descriptor(slot, name):
    block_number = (slot - 1) * 0x4000 // 128
    name_bytes = name.encode("latin-1")[:8].ljust(8, b" ") if name else b"\xFF" * 8
    return bytes([0x8A, 0x65, 0xC2, 0x00]) + le16(128) + le16(block_number) + name_bytes


def control_block(slots=((1, "Office"),), firmware=(72, 6200)):
    block = bytearray(b"\xFF" * 128)
    for slot, name in slots:
        block[16 * (slot - 1):16 * slot] = slot_descriptor(slot, name)
    if firmware:
        version, length = firmware
        block[64:72] = bytes([0x8A, 0x65, 0xC1, version]) + le16(length) + le16(4)
    return bytes(block)


def make_module_memory():
    write("slotrecords", "default_image.bin", le16(128) + slot_stream(DEFAULT_IMAGE))
    odd = bytearray(slot_stream(bytes(range(128))))
    odd[16] = 0x20  # a record that claims more than the block holds
    write("slotrecords", "odd_length.bin", le16(128) + bytes(odd))
    write("slotrecords", "short_stream_long_length.bin", le16(0x0400) + slot_stream(DEFAULT_IMAGE)[:40])

    write("controlblock", "two_slots_firmware.bin", control_block(((1, "Office"), (3, "Caf\xe9 \xff")), (72, 6200)))
    write("controlblock", "blank.bin", b"\xFF" * 128)
    write("controlblock", "four_slots_full_names.bin",
          control_block(((1, "ABCDEFGH"), (2, "\x00\x01\x7f\x80"), (3, ""), (4, "Hall 4")), None))


# ---- Device conversations ----

def block_reports(header_length, block):
    """A block as the module sends it: header C0 44 x x n in a 64-byte report, then 8-byte data reports."""
    out = chunk(1, bytes([0xC0, 0x44, 0x00, 0x00, header_length]))
    for i in range(0, len(block), 8):
        out += chunk(0, block[i:i + 8])
    return out


def make_conversations():
    control = control_block(((1, "Office"), (2, "Lobby")))
    stream = slot_stream(DEFAULT_IMAGE)
    write("blockreader", "module_two_slots.bin",
          b"\x01" + block_reports(0x80, control) + block_reports(0x80, stream) + chunk(2) + block_reports(0x80, stream))
    write("blockreader", "stick_alone.bin", b"\x00" + chunk(1, b"\xB2\x50"))
    write("blockreader", "short_header_then_silence.bin",
          b"\x02" + chunk(1, b"\xC0\x44\x00\x00\x40") + b"".join(chunk(0, control[i:i + 8]) for i in range(0, 64, 8)) +
          chunk(3, length=10))
    write("blockreader", "slot_times_out.bin",
          b"\x03" + chunk(0, b"\xB2\x5F") + block_reports(0x80, control_block(((2, "x"),))) + chunk(3, length=3) +
          block_reports(0x80, stream))

    write("answers", "block_header.bin", bytes([0xC0, 0x44, 0x00, 0x00, 0x80, 0, 0, 0]))
    write("answers", "confirmation.bin", bytes([0xC0, 0x33, 0x00, 0x40, 0x01]))
    data = bytes([0x00, 26]) + DEFAULT_IMAGE[:26]
    write("answers", "read_data.bin", bytes([0xB2, 0x52]) + le16(crc16(data)) + data)
    write("answers", "identification.bin", bytes([0xB2, 0x5F, 0x12, 0x34, 0x56, 0x78, 0x00, 72]))
    write("answers", "stick_alone.bin", bytes([0xB2, 0x51]))

    # Stick mode: identification, the whole memory read with answers the stick computed, a Transfer
    # with every frame accepted (one refused), then a firmware update of two records.
    memory = DEFAULT_IMAGE + bytes(range(128))
    conversation = chunk(1, bytes([0xB2, 0x5F, 0x00, 0x00, 0x00, 0x01, 0x00, 72]))
    address = 0
    while address < 255:
        count = 256 - address if address + 26 >= 256 else 26
        data = bytes([address, count]) + memory[address:address + count]
        answer = bytes([0xB2, 0x52]) + le16(crc16(data)) + data
        conversation += chunk(1, answer)
        address += count
    conversation += chunk(2, length=1)  # Transfer
    conversation += chunk(0, b"\xB2\x55")
    conversation += b"".join(chunk(0, b"\xB2\x54") for _ in range(10))
    conversation += b"".join(chunk(0, b"\xB2\x56") for _ in range(10))
    conversation += chunk(2, length=2 + 5)  # Update FW, 1001 bytes
    conversation += b"".join(chunk(0, b"\xB2\x58") + chunk(0, b"\xB2\x58") + chunk(0, b"\xB2\x5A") for _ in range(14))
    write("stickengine", "read_store_update.bin", b"\x05" + conversation)

    synthetic = chunk(1, bytes([0xB2, 0x5F, 0xAB, 0xCD, 0xEF, 0x01, 0x00, 0xFF]))
    synthetic += b"".join(chunk(3, memory[i:i + 26]) for i in range(0, 256, 26))
    synthetic += chunk(2, length=0) + chunk(0, b"\xB2\x52\x00\x00\x00\x1A") * 6
    write("stickengine", "synthetic_read_then_bad_crc.bin", b"\x02" + synthetic)
    write("stickengine", "lost_while_writing.bin",
          b"\x00" + chunk(2, length=1) + chunk(0, b"\xB2\x57") + chunk(2, length=3) + chunk(0, b"\xB2\x51") +
          chunk(2, length=1) + chunk(2, length=4) +
          chunk(0, b"\x07\x00") + chunk(0, b"\xB2\x53"))


def main():
    build_dir = sys.argv[1] if len(sys.argv) > 1 else None
    make_files(build_dir)
    make_module_memory()
    make_conversations()


if __name__ == "__main__":
    main()
