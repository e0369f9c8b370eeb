#!/usr/bin/python3
"""A second RFC 2217 server for the tests: python3-serial's PortManager in
front of its loop:// port, which sends back every byte it is given and
reports CTS as its RTS, DSR as its DTR and the carrier as on.

Prints the TCP port it listens on (127.0.0.1), serves one connection until
the client closes it, then prints the serial settings the client left:
  settings baud=N bits=N parity=N|E|O stop=1|1.5|2 dtr=0|1 rts=0|1
"""
import socket
import sys
import threading
import time

import serial
import serial.rfc2217


def main():
    port = serial.serial_for_url("loop://", timeout=0.05)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(20)
    print(listener.getsockname()[1], flush=True)
    conn, _ = listener.accept()
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    lock = threading.Lock()

    class Connection:
        def write(self, data):
            with lock:
                conn.sendall(data)

    manager = serial.rfc2217.PortManager(port, Connection())
    alive = [True]

    def loop_back():
        while alive[0]:
            data = port.read(port.in_waiting or 1)
            if data:
                try:
                    Connection().write(b"".join(manager.escape(data)))
                except OSError:
                    break

    def watch_lines():
        while alive[0]:
            try:
                manager.check_modem_lines()
            except OSError:
                break
            time.sleep(0.02)

    echo = threading.Thread(target=loop_back, daemon=True)
    echo.start()
    threading.Thread(target=watch_lines, daemon=True).start()
    while True:
        try:
            data = conn.recv(4096)
        except OSError:
            break
        if not data:
            break
        port.write(b"".join(manager.filter(data)))
    alive[0] = False
    echo.join(1)
    print("settings baud=%d bits=%d parity=%s stop=%s dtr=%d rts=%d"
          % (port.baudrate, port.bytesize, port.parity, port.stopbits, port.dtr, port.rts), flush=True)


if __name__ == "__main__":
    sys.exit(main())
