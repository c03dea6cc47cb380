#!/usr/bin/env python3
"""Compares "vexlor resolve" on an executable carrying reporter data with
addr2line on the DWARF of its first link (EXE.dwarf), over line-table addresses
spread through the whole code. Prints the agreement on file and line; fails
below 99 %. Then the same for the calls inlined code stands for (the indented
lines of "vexlor resolve" against "addr2line -i"); fails below 97 %."""
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

def unit_of(field):
    return field[:-1] if field.endswith(".") else field


resolved = {}
callers = {}
keys = sorted(expected)
for i in range(0, len(keys), 500):
    out = subprocess.run([vexlor, "resolve", exe] + ["%X" % a for a in keys[i:i + 500]], capture_output=True,
                         text=True, check=True).stdout
    current = None
    for line in out.splitlines():
        fields = line.strip().split("\t")
        if line.startswith(" "):  # a call the address's inlined code stands for
            callers[current].append((unit_of(fields[3]), int(fields[6])))
            continue
        current = int(fields[0], 16)
        resolved[current] = (unit_of(fields[3]), int(fields[6]))
        callers[current] = []

# addr2line -i: after an address's own place, the calls it was inlined through.
inlined = subprocess.run(["x86_64-w64-mingw32-addr2line", "-a", "-i", "-e", dwarf],
                         input="\n".join("%x" % a for a in keys), capture_output=True, text=True,
                         check=True).stdout.splitlines()
expected_callers = {}
current = None
for text in inlined:
    if text.startswith("0x"):
        current = int(text, 16)
        expected_callers[current] = []
        continue
    text = re.sub(r" \(discriminator \d+\)$", "", text)
    file, _, line = text.rpartition(":")
    expected_callers[current].append((os.path.basename(file), int(line) if line.isdigit() else 0))
for a in expected_callers:
    expected_callers[a] = expected_callers[a][1:]

agree = sum(1 for a in keys if resolved.get(a) == expected[a])
share = 100.0 * agree / len(keys) if keys else 0.0
print("vexlor resolve agrees with addr2line on file and line for %d of %d addresses (%.2f %%)" % (agree, len(keys), share))
for a in [a for a in keys if resolved.get(a) != expected[a]][:10]:
    print("  %X: addr2line %s, vexlor %s" % (a, expected[a], resolved.get(a)))
inline_keys = [a for a in keys if expected_callers.get(a) or callers.get(a)]
inline_agree = sum(1 for a in inline_keys if callers.get(a) == expected_callers.get(a))
inline_share = 100.0 * inline_agree / len(inline_keys) if inline_keys else 0.0
print("vexlor resolve agrees with addr2line -i on the inlined calls of %d of %d addresses (%.2f %%)"
      % (inline_agree, len(inline_keys), inline_share))
for a in [a for a in inline_keys if callers.get(a) != expected_callers.get(a)][:10]:
    print("  %X: addr2line %s, vexlor %s" % (a, expected_callers.get(a), callers.get(a)))
sys.exit(0 if keys and share >= 99.0 and inline_keys and inline_share >= 97.0 else 1)
