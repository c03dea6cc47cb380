#!/usr/bin/env python3
"""Compares "vexlor resolve" on an executable carrying reporter data with
addr2line on the DWARF of its first link (EXE.dwarf), over line-table addresses
spread through the whole code. Prints the agreement on file and line; fails
below 99 %."""
import os
import re
import subprocess
import sys

exe, vexlor = sys.argv[1], sys.argv[2]
dwarf = exe + ".dwarf"
limit = 4000

rows = subprocess.run(["llvm-dwarfdump-14", "--debug-line", dwarf], capture_output=True, text=True, check=True).stdout
addresses = []
for line in rows.splitlines():
    m = re.match(r"^0x([0-9a-f]{16})\s+(\d+)\s", line)
    if m and "end_sequence" not in line and int(m.group(2)) > 0:
        addresses.append(int(m.group(1), 16))
addresses = sorted(set(addresses))
dump = subprocess.run([vexlor, "debug", "dump", exe], capture_output=True, text=True, check=True).stdout
units = []
for line in dump.splitlines():
    m = re.match(r"^([0-9A-F]{16})-([0-9A-F]{16})\t", line)
    if m:
        units.append((int(m.group(1), 16), int(m.group(2), 16)))
low = min(u[0] for u in units)
high = max(u[1] for u in units)
addresses = [a for a in addresses if low <= a <= high]
if len(addresses) > limit:
    step = len(addresses) / limit
    addresses = [addresses[int(i * step)] for i in range(limit)]
# Also the byte before each row's end: inside the row, not at its start.
probe = sorted(set(addresses + [a + 1 for a in addresses]))

a2l = subprocess.run(["x86_64-w64-mingw32-addr2line", "-e", dwarf], input="\n".join("%x" % a for a in probe),
                     capture_output=True, text=True, check=True).stdout.splitlines()
expected = {}
for address, text in zip(probe, a2l):
    text = re.sub(r" \(discriminator \d+\)$", "", text)
    file, _, line = text.rpartition(":")
    if file in ("??", "") or not line.isdigit() or line == "0":
        continue
    expected[address] = (os.path.basename(file), int(line))

resolved = {}
keys = sorted(expected)
for i in range(0, len(keys), 500):
    out = subprocess.run([vexlor, "resolve", exe] + ["%X" % a for a in keys[i:i + 500]], capture_output=True,
                         text=True, check=True).stdout
    for line in out.splitlines():
        fields = line.split("\t")
        unit = fields[3][:-1] if fields[3].endswith(".") else fields[3]
        resolved[int(fields[0], 16)] = (unit, int(fields[6]))

agree = sum(1 for a in keys if resolved.get(a) == expected[a])
share = 100.0 * agree / len(keys) if keys else 0.0
print("vexlor resolve agrees with addr2line on file and line for %d of %d addresses (%.2f %%)" % (agree, len(keys), share))
for a in [a for a in keys if resolved.get(a) != expected[a]][:10]:
    print("  %X: addr2line %s, vexlor %s" % (a, expected[a], resolved.get(a)))
sys.exit(0 if keys and share >= 99.0 else 1)
