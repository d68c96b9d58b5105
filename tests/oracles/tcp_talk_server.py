"""A scripted TCP server answering the request-response channel.

Binds a free loopback port and prints it on the first line, then serves one accepted connection per argument, each
on its own thread, following that argument's comma-separated steps in order:
  line        read through the next line feed
  read:N      read exactly N bytes
  echo:N      N times: read a line and send it back
  send:HEX    send these bytes
  fill:N      send N bytes of "x" without a line feed
  frame:T:N   send a framed header giving total length T, then N bytes of body
  pause:MS    wait that many milliseconds
  close       close the connection cleanly
  reset       close it with an abortive reset
Without close or reset, a connection is kept until the client closes it. Every read is printed as
"<connection> <hex>", and the server exits when every connection is over (or after 10 s of silence).
"""
import socket
import struct
import sys
import threading
import time

MAGIC = 0x07FF0003
print_lock = threading.Lock()


def report(index, data):
    with print_lock:
        print(index, data.hex() or "-", flush=True)


def read_line(conn):
    data = b""
    while not data.endswith(b"\n"):
        chunk = conn.recv(1)
        if not chunk:
            break
        data += chunk
    return data


def read_exact(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            break
        data += chunk
    return data


def serve(index, conn, script):
    conn.settimeout(10)
    try:
        for step in script.split(","):
            name, arg = (step + ":").split(":", 1)
            arg = arg[:-1]
            if name == "line":
                report(index, read_line(conn))
            elif name == "read":
                report(index, read_exact(conn, int(arg)))
            elif name == "echo":
                for _ in range(int(arg)):
                    line = read_line(conn)
                    report(index, line)
                    conn.sendall(line)
            elif name == "send":
                conn.sendall(bytes.fromhex(arg))
            elif name == "fill":
                conn.sendall(b"x" * int(arg))
            elif name == "frame":
                total, body = (int(v, 0) for v in arg.split(":"))
                conn.sendall(struct.pack("<II", MAGIC, total) + bytes(body))
            elif name == "pause":
                time.sleep(int(arg) / 1000)
            elif name == "close":
                conn.close()
                return
            elif name == "reset":
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                conn.close()
                return
            else:
                raise ValueError("unknown step " + step)
        while conn.recv(65536):
            pass
    except OSError:
        pass
    conn.close()


def main():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    server.settimeout(10)
    print(server.getsockname()[1], flush=True)
    workers = []
    try:
        for index, script in enumerate(sys.argv[1:]):
            conn, _ = server.accept()
            worker = threading.Thread(target=serve, args=(index, conn, script))
            worker.start()
            workers.append(worker)
    except OSError:
        pass
    for worker in workers:
        worker.join()


if __name__ == "__main__":
    main()
