#!/usr/bin/env python3
"""Baseline for list_load_client: a 64-connection select() server that answers every 11-byte
list request with a canned list reply of the same size as the real one (35 entries of 60-byte
names, 3,449 bytes). Usage: py_list_server.py PORT"""
import select, socket, struct, sys

port = int(sys.argv[1])
entries = b"".join(b"\x01\x00" + struct.pack("<H", 60) + b"n" * 60 + struct.pack("<H", 32) + b"k" * 32
                   for _ in range(35))
reply = b"qmtk\x01\x00\x01" + struct.pack("<I", 1) + struct.pack("<I", 35) + entries + b"ktmq"
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(64)
clients = []
while True:
    readable, _, _ = select.select([listener] + clients, [], [], 1.0)
    for s in readable:
        if s is listener:
            c, _ = listener.accept()
            c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            clients.append(c)
            continue
        try:
            data = s.recv(4096)
        except ConnectionError:
            data = b""
        if not data:
            clients.remove(s)
            s.close()
            continue
        s.sendall(reply)
