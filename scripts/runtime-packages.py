#!/usr/bin/env python3
"""Finds the Debian packages a command loads at run time: runs it under strace
(following every child: Wine's loaders and server, GStreamer's plug-in
scanner, Xvfb, the screenshot tools), maps each shared library, plug-in and
font it opened to its package with dpkg -S, and tells which of them a fresh
machine would lack although scripts/setup-debian.sh ran: those that are
neither in the Depends closure of its list nor part of every Debian system
(Essential or Priority: required).

usage: runtime-packages.py [--trace FILE] [--keep-trace FILE] -- COMMAND [ARGS...]
       runtime-packages.py --trace FILE          (analyse an earlier trace)
Prints a Markdown report. Needs strace (apt-get install strace).
"""
import argparse
import collections
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LINE = re.compile(r"^(\d+) +(.*)$")
CALL = re.compile(r"^(\w+)\((.*)\) += (-?\d+|\?)")
RESUMED = re.compile(r"^<\.\.\. (\w+) resumed>(.*)$")
FIRST_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')
# Files worth a package: libraries and plug-ins, fonts, and Wine's own files.
WANTED = re.compile(r"(\.so(\.\d+)*$)|(/fonts/)|(\.(ttf|ttc|otf|pfb)$)|(/wine/)")


def trace(command, out):
    strace = ["strace", "-f", "-qq", "--seccomp-bpf", "-s", "256", "-o", out,
              "-e", "trace=openat,open,execve,clone,clone3,fork,vfork"]
    return subprocess.call(strace + command)


def calls(path):
    """Yields (pid, name, args, result) with unfinished calls joined."""
    pending = {}
    with open(path, errors="replace") as f:
        for raw in f:
            m = LINE.match(raw.rstrip("\n"))
            if not m:
                continue
            pid, text = int(m.group(1)), m.group(2)
            if text.endswith("<unfinished ...>"):
                pending[pid] = text[: -len("<unfinished ...>")]
                continue
            r = RESUMED.match(text)
            if r:
                text = pending.pop(pid, r.group(1) + "(") + r.group(2)
            c = CALL.match(text)
            if c:
                yield pid, c.group(1), c.group(2), c.group(3)


def program_of(path, argv):
    name = os.path.basename(path)
    if "/wine/" in path or name.startswith("wine"):
        # The loader's first argument is the Windows program it runs.
        exe = next((a for a in argv[1:] if not a.startswith("-")), "")
        return "wine: " + (exe.replace("\\\\", "\\").split("\\")[-1].split("/")[-1] or name)
    return name


def analyse(path):
    """file -> programs that opened it. A child's first calls can reach the
    trace before its parent's clone returns, so programs are placed after
    reading everything: a process runs what it last executed, or else what
    its parent ran when it cloned it."""
    execs = collections.defaultdict(list)  # pid -> [(line, program)]
    parent = {}  # pid -> (parent pid, line)
    opens = []  # (line, pid, file)
    tried = []  # (line, pid, library) not found where looked
    for n, (pid, name, args, result) in enumerate(calls(path)):
        if result != "?" and int(result) < 0:
            s = FIRST_STRING.search(args)
            if name in ("openat", "open") and s and re.search(r"\.so(\.\d+)*$", s.group(1)):
                tried.append((n, pid, os.path.basename(s.group(1))))
            continue
        if result == "?":
            continue
        if name in ("clone", "clone3", "fork", "vfork"):
            parent.setdefault(int(result), (pid, n))
        elif name == "execve":
            strings = FIRST_STRING.findall(args)
            if strings:
                execs[pid].append((n, program_of(strings[0], strings[1:])))
        elif name in ("openat", "open"):
            s = FIRST_STRING.search(args)
            f = s.group(1) if s else ""
            if f.startswith(("/usr/", "/lib", "/etc/", "/opt/")) and WANTED.search(f):
                opens.append((n, pid, f))

    def program_at(pid, line, depth=0):
        done = [p for n, p in execs.get(pid, []) if n <= line]
        if done:
            return done[-1]
        if execs.get(pid):
            return execs[pid][0][1]  # exec line printed after its effects
        if pid in parent and depth < 50:
            return program_at(*parent[pid], depth + 1)
        return "?"

    opened = collections.defaultdict(set)
    for n, pid, f in opens:
        if not os.path.isdir(f):
            opened[f].add(program_at(pid, n))
    found = {os.path.basename(f) for f in opened}
    missed = collections.defaultdict(set)
    for n, pid, lib in tried:
        if lib not in found:
            missed[lib].add(program_at(pid, n))
    return opened, missed


def owners(files):
    """file -> package, trying the path as opened, its real path and the
    merged-/usr twin (dpkg knows a file under the name its package ships)."""
    result = {}
    for f in files:
        candidates = [f, os.path.realpath(f)]
        for c in list(candidates):
            if c.startswith("/usr/lib/") or c.startswith("/usr/bin/"):
                candidates.append(c[4:])
            elif c.startswith(("/lib/", "/bin/")):
                candidates.append("/usr" + c)
        for c in candidates:
            out = subprocess.run(["dpkg", "-S", c], capture_output=True, text=True).stdout
            line = next((l for l in out.splitlines() if l.endswith(": " + c)), "")
            if line:
                result[f] = line.split(": ")[0].split(":")[0]
                break
    return result


def setup_packages():
    out = subprocess.run([os.path.join(ROOT, "scripts", "setup-debian.sh"), "--list"],
                         capture_output=True, text=True, check=True).stdout
    return out.split()


def depends_closure(packages):
    out = subprocess.run(["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
                          "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances"]
                         + packages, capture_output=True, text=True).stdout
    return {l.strip().split(":")[0] for l in out.splitlines() if l and not l[0].isspace()}


def base_system():
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package}|${Essential}|${Priority}\n"],
                         capture_output=True, text=True).stdout
    return {p for p, e, prio in (l.split("|") for l in out.splitlines() if l.count("|") == 2)
            if e == "yes" or prio == "required"}


def report(opened, missed):
    own = owners(opened)
    by_package = collections.defaultdict(lambda: (set(), set()))
    for f, progs in opened.items():
        files, who = by_package[own.get(f, "(made at install, no package)")]
        files.add(f)
        who.update(progs)
    listed = setup_packages()
    closure = depends_closure(listed + sorted(base_system()))
    base = base_system()
    lines = ["| package | how it comes | loaded by | files (examples) |", "| --- | --- | --- | --- |"]
    lacking = []
    for pkg in sorted(by_package):
        files, who = by_package[pkg]
        if pkg.startswith("("):
            how = "-"
        elif pkg in listed:
            how = "listed"
        elif pkg in base:
            how = "base system"
        elif pkg in closure:
            how = "Depends of the list"
        else:
            how = "**missing on a fresh machine**"
            lacking.append(pkg)
        wine_progs = sorted(p for p in who if p.startswith("wine"))
        other = sorted(p for p in who if not p.startswith("wine"))
        shown = (["Wine (%d processes)" % len(wine_progs)] if wine_progs else []) + other[:4]
        examples = ", ".join(sorted(os.path.basename(f) for f in files)[:4])
        more = " (+%d)" % (len(files) - 4) if len(files) > 4 else ""
        lines.append("| %s | %s | %s | %s%s |" % (pkg, how, ", ".join(shown), examples, more))
    lines.append("")
    lines.append("Packages loaded but neither listed nor pulled in: "
                 + (" ".join(lacking) if lacking else "none"))
    lines.append("")
    lines.append("Libraries Wine looked for and did not find (optional features it goes without):")
    lines.append("")
    for lib in sorted(missed):
        wine = sorted(p for p in missed[lib] if p.startswith("wine"))
        if wine:
            lines.append("- %s (%s)" % (lib, ", ".join(p[6:] for p in wine[:3])
                                        + (" +%d" % (len(wine) - 3) if len(wine) > 3 else "")))
    return "\n".join(lines)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--trace", help="analyse this strace output instead of running a command")
    ap.add_argument("--keep-trace", help="where to keep the trace of COMMAND")
    ap.add_argument("command", nargs=argparse.REMAINDER)
    a = ap.parse_args()
    command = a.command[1:] if a.command[:1] == ["--"] else a.command
    path = a.trace
    if not path:
        if not command:
            ap.error("give a COMMAND after -- or --trace FILE")
        path = a.keep_trace or tempfile.mkstemp(suffix=".strace")[1]
        rc = trace(command, path)
        print("command exit status: %d" % rc, file=sys.stderr)
    print(report(*analyse(path)))


if __name__ == "__main__":
    main()
