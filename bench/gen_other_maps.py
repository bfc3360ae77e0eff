"""Writes map files of shapes the library's own generator (gen_map.cpp)
does not make, for instruction counts on inputs not shaped for the code:
a linker listing with tab-separated columns and CR LF ends ("listing"), a
module map with long section headers and trailing fields ("modules"), and
a cross-reference dump where record lines are rare ("xref").

    gen_other_maps.py SHAPE PATH BYTES
"""
import random
import sys

WORDS = ["Segment", "Class", "Group", "Origin", "Length", "Publics", "by", "Value", "Address", "Module",
         "Object", "Library", "Warning", "Reference", "Total", "bytes", "Entry", "point", "CODE", "DATA",
         "BSS", "CONST", "STACK", "far", "near", "Alignment", "Combine", "public", "private"]


def symbol(rng):
    stem = "".join(rng.choice("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789")
                   for _ in range(rng.randint(3, 30)))
    return rng.choice(["_", "__", "", "?", "$"]) + stem if not stem[0].isdigit() else "_" + stem


def address(rng):
    digits = "%X" % rng.randrange(0x10000)
    return rng.choice([digits, digits.lower(), digits.zfill(4)]) + rng.choice("Hh")


def text_line(rng, words):
    return " ".join(rng.choice(WORDS) for _ in range(words))


def listing(rng):
    """Mostly record lines, tab-separated, CR LF ends, now and then a page header."""
    if rng.random() < 0.03:
        return "\r\n %s\tPage %d\r\n\r\n" % (text_line(rng, 6), rng.randint(1, 999))
    module = symbol(rng).lstrip("_?$") or "m"
    return "%s\tADDR\t%s\t%s\t%s\r\n" % (module, address(rng), symbol(rng), rng.choice(["", "far", "near", "; 0x%x" % rng.randrange(999)]))


def modules(rng):
    """Section headers, long descriptive lines and record lines with trailing fields, about half each."""
    kind = rng.random()
    if kind < 0.15:
        return "\n%s %s\n%s\n" % (rng.choice(["SECTION", "MODULE", "Segment"]), symbol(rng), "-" * rng.randint(20, 79))
    if kind < 0.55:
        return "    %s  %08X  %s\n" % (text_line(rng, rng.randint(3, 12)), rng.randrange(1 << 32), symbol(rng))
    return "%s ADDR %s %s  %s %d\n" % (symbol(rng).lstrip("?$") or "x", address(rng), symbol(rng),
                                      rng.choice(WORDS), rng.randint(0, 65535))


def xref(rng):
    """Long cross-reference lines; one line in forty is a record line."""
    if rng.random() < 0.025:
        return "%s ADDR %s %s\n" % (symbol(rng).lstrip("?$") or "y", address(rng), symbol(rng))
    refs = " ".join("%s:%d" % (symbol(rng), rng.randint(1, 9999)) for _ in range(rng.randint(2, 14)))
    return "\t%s\t%s\n" % (symbol(rng), refs)


SHAPES = {"listing": listing, "modules": modules, "xref": xref}


def main():
    shape, path, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rng = random.Random("%s/%d" % (shape, size))
    parts, written = [], 0
    while written < size:
        line = SHAPES[shape](rng)
        parts.append(line)
        written += len(line)
    # Cut at a line end and filled up with a line of blanks to the size.
    data = "".join(parts).encode("ascii")[:size]
    cut = data.rfind(b"\n", 0, size - 1) + 1
    data = data[:cut] + b" " * (size - cut - 1) + b"\n"
    with open(path, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
