#!/usr/bin/python3
"""What an ASF file's data packets carry: payload bytes, padding bytes and packet bytes, read
from each packet's own header (its padding length field, and a packet length short of the
fixed packet size, which leaves the rest as padding too).

    bench/quality/asf_packets.py FILE.wma      prints packets, packet size, payload and padding
"""

import struct
import sys
import uuid

HEADER_OBJECT = uuid.UUID("75B22630-668E-11CF-A6D9-00AA0062CE6C")
FILE_PROPERTIES = uuid.UUID("8CABDCA1-A947-11CF-8EE4-00C00C205365")
DATA_OBJECT = uuid.UUID("75B22636-668E-11CF-A6D9-00AA0062CE6C")


class AsfError(Exception):
    pass


def guid(data, offset):
    return uuid.UUID(bytes_le=bytes(data[offset:offset + 16]))


class PacketCounts:
    def __init__(self):
        self.packets = 0
        self.packet_size = 0
        self.payload_bytes = 0  # media object bytes carried, the coded audio
        self.padding_bytes = 0

    @property
    def packet_bytes(self):
        return self.packets * self.packet_size

    @property
    def padding_share(self):
        return self.padding_bytes / self.packet_bytes if self.packets else 0.0


def sized(data, position, length_type):
    """A field of 0, 1, 2 or 4 bytes, as a 2-bit length type says; (value, next position)."""
    width = (0, 1, 2, 4)[length_type]
    if position + width > len(data):
        raise AsfError("a packet header runs past the packet")
    value = int.from_bytes(data[position:position + width], "little") if width else 0
    return value, position + width


def read_packet(packet, counts):
    position = 0
    if packet[0] & 0x80:  # error correction data: its length in the low four bits
        position = 1 + (packet[0] & 0x0F)
    flags, properties = packet[position], packet[position + 1]
    position += 2
    packet_length, position = sized(packet, position, (flags >> 5) & 3)
    _, position = sized(packet, position, (flags >> 1) & 3)  # sequence
    padding, position = sized(packet, position, (flags >> 3) & 3)
    position += 6  # send time and duration
    size = len(packet)
    # A packet length short of the fixed size leaves the rest unused: padding as well.
    unused = size - packet_length if 0 < packet_length < size else 0
    end = size - padding - unused
    multiple = flags & 1
    payloads, length_type = 1, 0
    if multiple:
        payloads, length_type = packet[position] & 0x3F, packet[position] >> 6
        position += 1
    for _ in range(payloads):
        position += 1  # stream number
        _, position = sized(packet, position, (properties >> 4) & 3)  # media object number
        _, position = sized(packet, position, (properties >> 2) & 3)  # offset into it
        replicated, position = sized(packet, position, properties & 3)
        position += replicated  # (a compressed payload's one byte is its time delta)
        if multiple:
            length, position = sized(packet, position, length_type)
        else:
            length = end - position
        if length < 0 or position + length > end:
            raise AsfError("a payload runs past its packet")
        counts.payload_bytes += length
        position += length
    counts.padding_bytes += padding + unused


def read(path):
    with open(path, "rb") as file:
        data = file.read()
    if len(data) < 30 or guid(data, 0) != HEADER_OBJECT:
        raise AsfError("not an ASF file")
    header_size = struct.unpack_from("<Q", data, 16)[0]
    counts = PacketCounts()
    position = 30
    while position + 24 <= header_size:
        size = struct.unpack_from("<Q", data, position + 16)[0]
        if size < 24:
            raise AsfError("a header object has no size")
        if guid(data, position) == FILE_PROPERTIES:
            low, high = struct.unpack_from("<II", data, position + 24 + 68)
            if low != high:
                raise AsfError("the packets are not of one size")
            counts.packet_size = low
        position += size
    if counts.packet_size == 0 or guid(data, header_size) != DATA_OBJECT:
        raise AsfError("no file properties or no data object after the header")
    data_size, packets = struct.unpack_from("<Q", data, header_size + 16)[0], struct.unpack_from(
        "<Q", data, header_size + 40)[0]
    position = header_size + 50
    end = min(header_size + data_size, len(data)) if data_size >= 50 else len(data)
    while position + counts.packet_size <= end:
        read_packet(data[position:position + counts.packet_size], counts)
        counts.packets += 1
        position += counts.packet_size
    if packets and counts.packets != packets:
        raise AsfError(f"{counts.packets} packets, the data object says {packets}")
    return counts


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    found = read(sys.argv[1])
    print(f"{found.packets} packets of {found.packet_size} bytes, payload {found.payload_bytes} bytes, "
          f"padding {found.padding_bytes} bytes ({100 * found.padding_share:.1f}%)")
