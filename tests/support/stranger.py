#!/usr/bin/python3
"""Another user's end of a local socket, for the single-instance tests (run through runuser).

  listen RECORD STOP PATH...  serve each PATH; append every byte that arrives to RECORD;
                              print "listening" once all are bound; end when STOP exists
  send PATH TEXT              connect to PATH, write TEXT, print what comes back
"""
import os
import select
import socket
import sys
import time


def listen(record, stop, paths):
    servers = []
    for path in paths:
        os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        server.bind(path)
        os.chmod(path, 0o777)
        server.listen(8)
        servers.append(server)
    open(record, "ab").close()
    os.chmod(record, 0o666)
    print("listening", flush=True)
    clients = []
    deadline = time.monotonic() + 120
    while not os.path.exists(stop) and time.monotonic() < deadline:
        ready, _, _ = select.select(servers + clients, [], [], 0.1)
        for item in ready:
            if item in servers:
                clients.append(item.accept()[0])
                continue
            data = item.recv(65536)
            if not data:
                clients.remove(item)
                item.close()
                continue
            with open(record, "ab") as out:
                out.write(data)


def send(path, text):
    client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    client.connect(path)
    print("connected", flush=True)
    try:
        client.sendall(text.encode())
        client.settimeout(2)
        client.recv(100)
    except OSError:
        pass


if __name__ == "__main__":
    if sys.argv[1] == "listen":
        listen(sys.argv[2], sys.argv[3], sys.argv[4:])
    else:
        send(sys.argv[2], sys.argv[3])
