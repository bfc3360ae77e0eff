"""Writes the inputs of the annotate benchmark: a map file of a few
thousand symbols and a log of SIZE bytes that reads like a kernel or
emulator trace, with one address (0x and four hex digits) in one line of
ten. A fixed linear congruential generator makes the same bytes on every
machine.

    python3 gen_annotate_log.py MAP LOG SIZE
"""
import sys

# The map's addresses are four hex digits at most, as the library reads
# them: 2000 symbols 8 to 36 bytes apart end near 0xAF00.
SYMBOLS = 2000
FIRST_SYMBOL = 0x100
LAST_ADDRESS = 0xB000
TEXT_LINES = [
    b"[%6d.%06d] usb 1-%d: new high-speed USB device number %d using xhci_hcd port %d\n",
    b"[%6d.%06d] sched: task worker/%d switched out after %d ticks, queue depth %d\n",
    b"[%6d.%06d] video: frame %d rendered in %d ms, audio buffer %d of 64\n",
    b"[%6d.%06d] net: eth0 rx %d packets, %d dropped, checksum offload %d\n",
]
ADDRESS_LINE = b"[%6d.%06d] cpu: trap at PC=0x%04X, opcode %02X, %d cycles\n"


class Numbers:
    """Numerical Recipes' 32-bit LCG, high bits only."""

    def __init__(self, seed):
        self.state = seed

    def below(self, limit):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (self.state >> 8) % limit


def map_lines(numbers):
    address = FIRST_SYMBOL
    for i in range(SYMBOLS):
        yield b"code ADDR %04XH _fn_%04d\n" % (address, i)
        address += 8 + numbers.below(8) * 4


def log_lines(numbers):
    line = 0
    while True:
        seconds, micros = line // 1000, line * 997 % 1000000
        if line % 10 == 9:
            yield ADDRESS_LINE % (seconds, micros, FIRST_SYMBOL + numbers.below(LAST_ADDRESS - FIRST_SYMBOL), numbers.below(256),
                                  numbers.below(40))
        else:
            template = TEXT_LINES[numbers.below(len(TEXT_LINES))]
            yield template % (seconds, micros, numbers.below(100), numbers.below(10000), numbers.below(64))
        line += 1


def main():
    map_path, log_path, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    numbers = Numbers(20261209)
    with open(map_path, "wb") as out:
        out.writelines(map_lines(numbers))
    written = 0
    chunk = []
    with open(log_path, "wb") as out:
        for line in log_lines(numbers):
            if written + len(line) > size:
                break
            chunk.append(line)
            written += len(line)
            if len(chunk) == 4096:
                out.writelines(chunk)
                chunk.clear()
        # Pad to the exact size; the last line then has no line feed.
        chunk.append(b"." * (size - written))
        out.writelines(chunk)


if __name__ == "__main__":
    main()
