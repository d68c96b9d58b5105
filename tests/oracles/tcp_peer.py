"""A TCP peer for the message channels, on the loopback interface.

  tcp_peer.py send PORT FILE [--at N,N,...] [--pause-ms MS] [--end close|reset|line|eof]
      Connects to 127.0.0.1:PORT and sends the bytes of FILE, cut at the given offsets into chunks with a pause
      between them, so that each chunk reaches the other side in a receive of its own. Then ends the connection:
      close; reset (an abortive close); line (reads up to a line feed, prints "got HEX", closes); eof (reads until
      the other side closes, prints "got HEX"). A send the other side refuses ends the sending quietly: a peer that
      announced a length the receiver cannot take is cut off.

  tcp_peer.py serve
      Listens on a free loopback port, prints "port P", then accepts connections one after another and prints
      "conn HEX" with all the bytes each carried until it was closed, until a connection carries "end" and a line
      feed.
"""
import argparse
import socket
import struct
import sys
import time


def send(args):
    data = open(args.file, "rb").read()
    cuts = [int(c) for c in args.at.split(",") if c] if args.at else []
    bounds = [0] + cuts + [len(data)]
    s = socket.create_connection(("127.0.0.1", args.port), timeout=20)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    try:
        for i in range(len(bounds) - 1):
            if i > 0:
                time.sleep(args.pause_ms / 1000.0)
            s.sendall(data[bounds[i]:bounds[i + 1]])
    except OSError:
        pass
    if args.end == "reset":
        s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    elif args.end in ("line", "eof"):
        got = b""
        try:
            while args.end == "eof" or not got.endswith(b"\n"):
                chunk = s.recv(65536)
                if not chunk:
                    break
                got += chunk
        except OSError:
            pass
        print("got " + got.hex(), flush=True)
    s.close()


def serve(args):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    listener.settimeout(20)
    print("port %d" % listener.getsockname()[1], flush=True)
    while True:
        connection, _ = listener.accept()
        connection.settimeout(20)
        got = b""
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                break
            got += chunk
        connection.close()
        if got == b"end\n":
            break
        print("conn " + got.hex(), flush=True)
    listener.close()


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="mode", required=True)
    p = sub.add_parser("send")
    p.add_argument("port", type=int)
    p.add_argument("file")
    p.add_argument("--at", default="")
    p.add_argument("--pause-ms", type=float, default=30)
    p.add_argument("--end", choices=["close", "reset", "line", "eof"], default="close")
    p.set_defaults(run=send)
    p = sub.add_parser("serve")
    p.set_defaults(run=serve)
    args = parser.parse_args()
    args.run(args)


if __name__ == "__main__":
    sys.exit(main())
