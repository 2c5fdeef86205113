#!/usr/bin/env python3
"""The far end of a COM port under Wine, played on a pseudo-terminal.

    comport-peer.py RECEIVED LINE

Prints the path of a new pseudo-terminal on the first line (Wine maps it to a
COM port). Then, until ended with SIGTERM: writes the stick's connect request
(7e 01 f1 e1 7e) every half second, appends every byte that arrives to the
file RECEIVED, and whenever the line's settings change (the program on the COM
port sets them) appends them to the file LINE, as "115200 8N1".
"""
import os
import pty
import select
import signal
import sys
import termios
import time
import tty

CONNECT_REQUEST = bytes.fromhex("7e01f1e17e")
SPEEDS = {getattr(termios, name): int(name[1:]) for name in dir(termios)
          if name.startswith("B") and name[1:].isdigit()}


def line_settings(fd):
    attrs = termios.tcgetattr(fd)
    cflag, ospeed = attrs[2], attrs[5]
    bits = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
    parity = "N" if not cflag & termios.PARENB else ("O" if cflag & termios.PARODD else "E")
    stop = 2 if cflag & termios.CSTOPB else 1
    return f"{SPEEDS.get(ospeed, ospeed)} {bits}{parity}{stop}"


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    received_path, line_path = sys.argv[1], sys.argv[2]
    master, slave = pty.openpty()
    tty.setraw(master)
    tty.setraw(slave)
    os.set_blocking(master, False)
    print(os.ttyname(slave), flush=True)
    running = [True]
    signal.signal(signal.SIGTERM, lambda *_: running.__setitem__(0, False))

    # The slave stays open here as well: reads at the master then never fail
    # while the program on the COM port closes and opens it again.
    last_settings = None
    next_request = time.monotonic()
    with open(received_path, "ab", buffering=0) as received, open(line_path, "a", buffering=1) as line:
        while running[0]:
            now = time.monotonic()
            if now >= next_request:
                try:
                    os.write(master, CONNECT_REQUEST)
                except BlockingIOError:
                    pass  # nobody has read the last ones: the line is full
                next_request = now + 0.5
            settings = line_settings(slave)
            if settings != last_settings:
                line.write(settings + "\n")
                last_settings = settings
            ready, _, _ = select.select([master], [], [], 0.05)
            if ready:
                try:
                    received.write(os.read(master, 4096))
                except BlockingIOError:
                    pass
                except OSError:
                    time.sleep(0.05)


if __name__ == "__main__":
    main()
