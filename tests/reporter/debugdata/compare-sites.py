#!/usr/bin/env python3
"""Runs lookup_sites.exe under Wine (what the running reporter resolves) and
"vexlor resolve" on the same file for the same addresses; every field must
match (the module by file name, since the process knows the full path).

With "tail" as fourth argument the check runs on a copy of the first link
(EXE.dwarf) that "vexlor attach" gave the file-tail form: the program must
still run, and find its data there."""
import ntpath
import os
import re
import shutil
import subprocess
import sys
import tempfile

exe, vexlor, wine_run = sys.argv[1], sys.argv[2], sys.argv[3]
if len(sys.argv) > 4 and sys.argv[4] == "tail":
    folder = tempfile.mkdtemp(prefix="vexlor-tail-")
    copy = os.path.join(folder, "tail_sites.exe")
    shutil.copyfile(exe + ".dwarf", copy)
    os.chmod(copy, 0o755)
    subprocess.run([vexlor, "attach", copy], check=True)
    exe = copy
run = subprocess.run([wine_run, exe], capture_output=True, text=True, timeout=120)
if run.returncode != 0:
    sys.exit("lookup_sites failed: %s %s" % (run.stdout, run.stderr))
dump = subprocess.run([vexlor, "debug", "dump", exe], capture_output=True, text=True, check=True).stdout
base = int(re.search(r"^image base\t([0-9A-F]+)$", dump, re.M).group(1), 16)
failures = 0
lines = [l for l in run.stdout.splitlines() if l.strip()]
for line in lines:
    fields = line.rstrip("\r").split("\t")
    address = base + int(fields[0], 16)
    tool = subprocess.run([vexlor, "resolve", exe, "%X" % address], capture_output=True, text=True,
                          check=True).stdout.splitlines()[0].strip().split("\t")
    runtime = fields[1:]
    runtime[1] = ntpath.basename(runtime[1])
    print("%016X runtime %s | vexlor %s" % (address, "\t".join(runtime), "\t".join(tool[1:])))
    if runtime != tool[1:] or runtime[0] != "4":
        failures += 1
if "tail_sites" in exe:
    shutil.rmtree(os.path.dirname(exe), ignore_errors=True)
sys.exit(1 if failures or len(lines) != 5 else 0)
