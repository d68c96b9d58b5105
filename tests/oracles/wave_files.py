"""WAVE files built byte by byte with struct, and WAVE files read back by Python's own wave module.

  wave_files.py build <dir>   writes one file per malformed or unusual layout, named after the case
  wave_files.py read <path>   prints channels, sample width, rate and frame count, then every 16-bit sample
"""
import struct
import sys
import wave


def chunk(cid, body, size=None, pad=True):
    size = len(body) if size is None else size
    tail = b"\0" if pad and len(body) % 2 else b""
    return cid + struct.pack("<I", size) + body + tail


def fmt(tag=1, channels=1, rate=8000, bits=16, size=None, extra=b""):
    align = channels * max(bits // 8, 1)
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits) + extra
    return chunk(b"fmt ", body, size)


def riff(*chunks, form=b"WAVE", cid=b"RIFF", size=None):
    body = form + b"".join(chunks)
    return cid + struct.pack("<I", len(body) if size is None else size) + body


def pcm(values):
    return struct.pack("<%dh" % len(values), *values)


SAMPLES = pcm([100, -200, 300, -400])


def layouts():
    return {
        "not_riff": riff(fmt(), chunk(b"data", SAMPLES), cid=b"RIFX"),
        "not_wave": riff(fmt(), chunk(b"data", SAMPLES), form=b"AVI "),
        "no_fmt": riff(chunk(b"data", SAMPLES)),
        "no_data": riff(fmt()),
        "fmt_size_0": riff(chunk(b"fmt ", b""), chunk(b"data", SAMPLES)),
        "data_size_0": riff(fmt(), chunk(b"data", b"")),
        "data_size_huge": riff(fmt(), chunk(b"data", SAMPLES, size=0xFFFF0001)),
        "three_channels": riff(fmt(channels=3), chunk(b"data", SAMPLES + pcm([0, 0]))),
        "twelve_bits": riff(fmt(bits=12), chunk(b"data", SAMPLES)),
        "tag_0x55": riff(fmt(tag=0x55), chunk(b"data", SAMPLES)),
        "size_fffffff8": riff(chunk(b"JUNK", b"abcd", size=0xFFFFFFF8), fmt(), chunk(b"data", SAMPLES)),
        "fmt_14_bytes": riff(chunk(b"fmt ", struct.pack("<HHIIH", 1, 1, 8000, 16000, 2)), chunk(b"data", SAMPLES)),
        "fmt_past_end": riff(chunk(b"fmt ", b"\1\0\1\0", size=1000)),
        "data_past_end": riff(fmt(), chunk(b"data", SAMPLES, size=1000)),
        "ulaw_stereo": riff(fmt(tag=7, channels=2, bits=8), chunk(b"data", b"\xff\x7f")),
        "g721_8_bits": riff(fmt(tag=0x40, bits=8), chunk(b"data", b"\x12\x34")),
        "g721_huge": riff(fmt(tag=0x40, bits=4), chunk(b"data", b"\x12\x34", size=0x80000001)),
        # A pad byte follows the odd LIST chunk; the unpadded odd chunk that ends the file has none.
        "odd_list": riff(fmt(), chunk(b"LIST", b"INFOx"), chunk(b"data", SAMPLES), chunk(b"note", b"abc", pad=False)),
        "stereo_pairs": riff(fmt(channels=2), chunk(b"data", pcm([-3, 0, 3, 0, -32768, -32768, 32767, 32767]))),
        "rate_1000": riff(fmt(rate=1000), chunk(b"data", SAMPLES)),
    }


def main():
    if sys.argv[1] == "build":
        for name, data in layouts().items():
            with open("%s/%s.wav" % (sys.argv[2], name), "wb") as f:
                f.write(data)
    else:
        with wave.open(sys.argv[2], "rb") as w:
            frames = w.readframes(w.getnframes())
            print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())
            print(" ".join(str(v) for v in struct.unpack("<%dh" % (len(frames) // 2), frames)))


main()
