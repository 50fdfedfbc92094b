# zor_records.py
# The records of the ZOR day as bytes: 8 little-endian ints a customer in,
# 23 out.
import struct


def read_day(data):
    return [list(struct.unpack_from("<8i", data, at)) for at in range(0, len(data) - len(data) % 32, 32)]


def write_results(records):
    return b"".join(struct.pack("<23i", *record) for record in records)
