#!/usr/bin/env python3
"""Audio files built to make one read slow or large, from the committed fixtures.

Usage: make-hostile-files.py FIXTURES_FOLDER OUT_FOLDER

  comment-50MB.opus / .ogg   a 50 MB text field in the Vorbis comment
  picture-16MBx4.flac        four 16 MB PICTURE blocks before the audio
  comment-20MB.flac          a 20 MB VORBIS_COMMENT block (past the 16 MB a block holds:
                             the length field is cut, so the rest reads as junk)
  zeros-1GB.{flac,ogg,opus,m4a,mp3}   1 GiB of zeros (sparse)
  flac-then-zeros-1GB.flac   a real FLAC followed by 1 GiB of zeros (sparse)
  ogg-then-zeros-1GB.ogg     a real Ogg Vorbis followed by 1 GiB of zeros (sparse)
  id3-frame-50MB.mp3         an ID3v2.3 tag with a 50 MB TXXX frame before a real MP3 frame run
  samples-2pow36.flac        a FLAC whose stream info claims 2^36 samples
"""
import os
import struct
import sys


# The page checksum (CRC-32, polynomial 0x04C11DB7, unreflected), by table.
_TABLE = []
for i in range(256):
    c = i << 24
    for _ in range(8):
        c = ((c << 1) ^ 0x04C11DB7) & 0xFFFFFFFF if c & 0x80000000 else (c << 1) & 0xFFFFFFFF
    _TABLE.append(c)


def fast_crc(data):
    crc = 0
    for b in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ _TABLE[((crc >> 24) ^ b) & 0xFF]
    return crc


def pages(data):
    at = 0
    while at + 27 <= len(data) and data[at:at + 4] == b"OggS":
        nseg = data[at + 26]
        lacing = data[at + 27:at + 27 + nseg]
        body = sum(lacing)
        yield data[at:at + 27 + nseg + body]
        at += 27 + nseg + body


def page(header_type, granule, serial, sequence, segments_and_body):
    lacing, body = segments_and_body
    head = b"OggS" + bytes([0, header_type]) + struct.pack("<qII", granule, serial, sequence) + b"\0\0\0\0"
    head += bytes([len(lacing)]) + bytes(lacing)
    whole = head + body
    return whole[:22] + struct.pack("<I", fast_crc(whole)) + whole[26:]


def paginate(packets, serial, first_sequence, granule=0):
    """Header packets on pages of their own, each packet ending its page's run."""
    out = []
    seq = first_sequence
    for packet in packets:
        segs = [255] * (len(packet) // 255) + [len(packet) % 255]
        at = 0
        first = True
        while segs:
            take = segs[:255]
            segs = segs[255:]
            size = sum(take)
            out.append(page(0 if first else 1, granule, serial, seq, (take, packet[at:at + size])))
            at += size
            seq += 1
            first = False
    return out, seq


def header_packets(data, count):
    packets, current, used = [], b"", 0
    for p in pages(data):
        nseg = p[26]
        lacing = p[27:27 + nseg]
        body = p[27 + nseg:]
        at = 0
        for lace in lacing:
            current += body[at:at + lace]
            at += lace
            if lace < 255:
                packets.append(current)
                current = b""
        used += len(p)
        if len(packets) >= count:
            return packets[:count], used
    raise ValueError("too few header packets")


def with_comment(data, count, comment_packet):
    packets, used = header_packets(data, count)
    serial = struct.unpack("<I", data[14:18])[0]
    packets[1] = comment_packet
    out, seq = paginate(packets, serial, 0)
    for p in pages(data[used:]):
        q = p[:18] + struct.pack("<I", seq) + b"\0\0\0\0" + p[26:]
        out.append(q[:22] + struct.pack("<I", fast_crc(q)) + q[26:])
        seq += 1
    return b"".join(out)


def vorbis_comment(prefix, field):
    body = struct.pack("<I", 6) + b"hostil" + struct.pack("<I", 1) + struct.pack("<I", len(field)) + field
    return prefix + body + (b"\x01" if prefix == b"\x03vorbis" else b"")


def flac_blocks(data):
    at = 4
    blocks = []
    while True:
        h = data[at]
        length = int.from_bytes(data[at + 1:at + 4], "big")
        blocks.append([h & 0x7F, data[at + 4:at + 4 + length]])
        at += 4 + length
        if h & 0x80:
            return blocks, data[at:]


def flac_join(blocks, audio):
    out = b"fLaC"
    for i, (kind, body) in enumerate(blocks):
        last = 0x80 if i == len(blocks) - 1 else 0
        out += bytes([kind | last]) + (len(body) & 0xFFFFFF).to_bytes(3, "big") + body
    return out + audio


def sparse(path, head, size):
    with open(path, "wb") as f:
        f.write(head)
        f.truncate(size)


def main():
    fixtures, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    read = lambda name: open(os.path.join(fixtures, name), "rb").read()
    write = lambda name, data: open(os.path.join(out, name), "wb").write(data)
    big = b"x" * (50 << 20)

    write("comment-50MB.opus", with_comment(read("tagged.opus"), 2, vorbis_comment(b"OpusTags", b"TITLE=" + big)))
    write("comment-50MB.ogg", with_comment(read("tagged.ogg"), 3, vorbis_comment(b"\x03vorbis", b"TITLE=" + big)))

    blocks, audio = flac_blocks(read("tagged.flac"))
    picture = struct.pack(">II", 3, 10) + b"image/jpeg" + struct.pack(">I", 0) + struct.pack(">IIIII", 1, 1, 24, 0, 0)
    picture += struct.pack(">I", (16 << 20) - 100 - len(picture)) + b"\xFF" * ((16 << 20) - 100 - len(picture) - 4)
    write("picture-16MBx4.flac", flac_join(blocks[:1] + [[6, picture]] * 4 + blocks[1:], audio))

    info = bytearray(blocks[0][1])
    # Total samples: the low 36 bits of bytes 13..17 of the stream info.
    total = (1 << 36) - 1
    info[13] = (info[13] & 0xF0) | (total >> 32)
    info[14:18] = (total & 0xFFFFFFFF).to_bytes(4, "big")
    untagged_blocks, untagged_audio = flac_blocks(read("untagged.flac"))
    write("samples-2pow36.flac", flac_join([[0, bytes(info)]] + untagged_blocks[1:], untagged_audio + b"\0" * (124 << 10)))

    for ext in ("flac", "ogg", "opus", "m4a", "mp3"):
        sparse(os.path.join(out, "zeros-1GB." + ext), b"", 1 << 30)
    sparse(os.path.join(out, "flac-then-zeros-1GB.flac"), read("tagged.flac"), (1 << 30) + 8767)
    sparse(os.path.join(out, "ogg-then-zeros-1GB.ogg"), read("tagged.ogg"), (1 << 30) + 3035)

    # MPEG-1 Layer III 128 kbit/s 44.1 kHz frames (417 bytes) of silence after the tag.
    frames = (b"\xFF\xFB\x90\x00" + b"\0" * 413) * 200
    frame = b"TXXX" + struct.pack(">I", 1 + 4 + len(big)) + b"\0\0" + b"\0big\0" + big[:len(big) - 1]
    title = b"TIT2" + struct.pack(">I", 6) + b"\0\0" + b"\0Titel"
    body = title + frame
    size = len(body)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    write("id3-frame-50MB.mp3", b"ID3\x03\x00\x00" + syncsafe + body + frames)


if __name__ == "__main__":
    main()
