"""Extracts the symbol records of a map file with Python's re, by the same
rules as the library (a word in column 1, ADDR and a blank or tab, one to
four hex digits with an H suffix, a name, all at word boundaries, and a
line end), and prints the same summary as parse_map: the record count, the
sum of the addresses and of the name lengths.

    python3 extract_records.py FILE
"""
import re
import sys

WORD = rb"[-0-9A-Za-z_]"
RECORD = re.compile(
    rb"^[A-Za-z_][0-9A-Za-z_]*(?!" + WORD + rb")"
    rb"[^\n]*?(?<!" + WORD + rb")ADDR[ \t]"
    rb"[^\n]*?(?<!" + WORD + rb")([0-9A-Fa-f]{1,4})[Hh](?!" + WORD + rb")"
    rb"[^\n]*?(?<!" + WORD + rb")([A-Za-z_][0-9A-Za-z_]*)(?!" + WORD + rb")"
    rb"[^\n]*\n",
    re.MULTILINE,
)


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    records = [(m.group(2), int(m.group(1), 16)) for m in RECORD.finditer(data)]
    print("records=%d address_sum=%d name_bytes=%d"
          % (len(records), sum(v for _, v in records), sum(len(n) for n, _ in records)))


if __name__ == "__main__":
    main()
