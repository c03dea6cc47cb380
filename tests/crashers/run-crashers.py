#!/usr/bin/env python3
"""Runs every program of the crash corpus under Wine and checks its reports.

Each crasher's source carries its expectations in comments:

    // expect: exit=1                   exit code of the process
    // expect: reports=1                number of reports (0: nothing printed;
                                        2+: at least two)
    // expect: type=EConvertError       line 2.4 of every report
    // expect: message=Not a number.    line 2.5 of every report
    // expect: stack=Unit.cpp|Class|Procedure|@mark
                                        call-stack rows: the first one is the
                                        first row of the report, the others
                                        follow in this order (the raw stack
                                        scan may show stale calls between
                                        them); fields unit, class, procedure,
                                        line; a line "@name" is the source
                                        line holding "// mark: name"
    Values may use the wildcards * and ?.
    // expect: output=text              a line the program prints itself
    // expect: absent=text              a line the program must not print (it
                                        was ended before)
    // expect: args=a "b c"             the program's arguments
    // expect: rerun=DEBUG              the program is run once more with these
                                        arguments added (the reporter's trace
                                        on, say), with the same expectations
    // expect: restart                  the program starts a new instance of
                                        itself: the first writes its command
                                        line and directory to <exe>.started, the new one to
                                        <exe>.restarted; both must agree
    // expect: gui                      the report is written by the program's
                                        notify handler to <exe>.reports.txt
    // expect: dismiss=Caption          a message box whose caption starts so is to
                                        be answered
    // expect: exe=Name.exe             the program is run as a copy under this name
    // expect: collapsed                a run of repeated rows is printed once
                                        with its count, and the table stays short

Usage: run-crashers.py BUILD_DIR SOURCE_DIR WINE_RUN [NAME...]
"""
import fnmatch
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import threading
import time

EXPECT = re.compile(r"//\s*expect:\s*(\w+)(?:=(.*))?$")
MARK = re.compile(r"//\s*mark:\s*(\w+)")
ROW = re.compile(r"^\|([0-9A-F]{8,16})\|([^|]*)\|([^|]*)\|([^|]*)\|([^|]*)\|([^|]*)\|\s*$")


def read_expectations(path):
    expect = {"stack": []}
    marks = {}
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            found = MARK.search(line)
            if found:
                marks[found.group(1)] = str(number)
            found = EXPECT.search(line.strip())
            if not found:
                continue
            key, value = found.group(1), (found.group(2) or "").strip()
            if key == "stack":
                expect["stack"].append(value.split("|"))
            else:
                expect[key] = value
    for row in expect["stack"]:
        if len(row) == 4 and row[3].startswith("@"):
            row[3] = marks.get(row[3][1:], "?" + row[3])
    return expect


def split_reports(text):
    """The reports in an output, each from its banner on."""
    parts = re.split(r"(?=^VexlorLog \d+\.\d+\.\d+\r?$)", text, flags=re.M)
    return [p for p in parts if p.startswith("VexlorLog ")]


def header_value(report, number):
    found = re.search(r"^\s*" + re.escape(number) + r" [^:]*: (.*?)\r?$", report, re.M)
    return found.group(1) if found else None


def stack_rows(report):
    section = report.split("Call Stack Information:", 1)
    if len(section) < 2:
        return []
    rows = []
    for line in section[1].splitlines():
        if line.startswith("Modules Information:"):
            break
        found = ROW.match(line)
        if found:
            rows.append([field.strip() for field in found.groups()])
    return rows


def row_matches(row, wanted):
    fields = [row[2], row[3], row[4], row[5]]
    return all(fnmatch.fnmatchcase(have, want) for have, want in zip(fields, wanted))


def dismiss_message_boxes(stop, display, caption):
    """Answers the program's message boxes (Return on each window so named)."""
    env = dict(os.environ, DISPLAY=display)
    pattern = "^" + re.escape(caption)
    while not stop.is_set():
        # No window manager runs: focus the box directly, then press the key
        # in a command of its own. Chained after the search, xdotool sends the
        # press through XTEST (the box has the focus) but the release as an
        # event to the box, which the press has closed: the release fails and
        # the X server keeps Return held down. Its auto-repeat then answers
        # every menu and box that later opens under the pointer, in the tests
        # that share the display. Without a window, both go through XTEST.
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern,
                                "windowfocus", "%1"],
                               env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if found.returncode == 0:
            subprocess.run(["xdotool", "key", "Return"],
                           env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)


def check(name, expect, exit_code, output, reports_text):
    failures = []
    if "exit" in expect and str(exit_code) != expect["exit"]:
        failures.append(f"exit code {exit_code}, expected {expect['exit']}")
    reports = split_reports(reports_text)
    wanted = expect.get("reports", "1")
    at_least = wanted.endswith("+")
    count = int(wanted.rstrip("+"))
    if len(reports) < count or (not at_least and len(reports) != count):
        failures.append(f"{len(reports)} reports, expected {wanted}")
    if "output" in expect and expect["output"] not in output:
        failures.append(f"output lacks {expect['output']!r}")
    if "absent" in expect and expect["absent"] in output:
        failures.append(f"output has {expect['absent']!r}")
    for index, report in enumerate(reports):
        where = f"report {index + 1}"
        for key, number in (("type", "2.4"), ("message", "2.5")):
            value = header_value(report, number)
            if key in expect and (value is None or not fnmatch.fnmatchcase(value, expect[key])):
                failures.append(f"{where}: {number} is {header_value(report, number)!r}, "
                                f"expected {expect[key]!r}")
        rows = stack_rows(report)
        if "collapsed" in expect:
            if not re.search(r"^  \.\.\. repeated \d+ more times?\r?$", report, re.M):
                failures.append(f"{where}: no repeated rows collapsed")
            if len(rows) > 60:
                failures.append(f"{where}: {len(rows)} call-stack rows")
        position = 0
        for order, wanted_row in enumerate(expect["stack"]):
            while position < len(rows) and not row_matches(rows[position], wanted_row):
                if order == 0:
                    break
                position += 1
            if position >= len(rows) or not row_matches(rows[position], wanted_row):
                first = rows[0][2:6] if rows else None
                failures.append(f"{where}: no stack row {wanted_row} "
                                f"{'at the top (first row ' + str(first) + ')' if order == 0 else 'below the previous one'}")
                break
            position += 1
    return failures


def check_restart(started, restarted):
    """The new instance may still be starting when the first one has ended."""
    deadline = time.time() + 60
    while not os.path.exists(restarted) and time.time() < deadline:
        time.sleep(0.2)
    if not os.path.exists(started):
        return ["the first instance left no command line"]
    if not os.path.exists(restarted):
        return ["no new instance started"]
    with open(started, encoding="latin-1") as f:
        first = f.read()
    with open(restarted, encoding="latin-1") as f:
        second = f.read()
    if first != second:
        return [f"new instance got {second!r}, the first one {first!r}"]
    return []


def source_of(source_dir, name):
    for extension in (".cpp", ".c"):
        path = os.path.join(source_dir, name + extension)
        if os.path.exists(path):
            return path
    return os.path.join(source_dir, name + ".cpp")


def run_one(name, build_dir, source_dir, wine_run, rerun=False):
    exe = os.path.join(build_dir, f"crasher_{name}.exe")
    expect = read_expectations(source_of(source_dir, name))
    args = shlex.split(expect.get("args", ""))
    if rerun:
        args += shlex.split(expect["rerun"])
        name += " " + expect["rerun"]
    if "exe" in expect:
        renamed = os.path.join(build_dir, expect["exe"])
        shutil.copyfile(exe, renamed)
        exe = renamed
    reports_file = exe + ".reports.txt"
    markers = [exe + ".started", exe + ".restarted"]
    for stale in [reports_file] + markers:
        if os.path.exists(stale):
            os.remove(stale)
    stop = threading.Event()
    dismisser = None
    if "dismiss" in expect and os.environ.get("DISPLAY"):
        dismisser = threading.Thread(target=dismiss_message_boxes,
                                     args=(stop, os.environ["DISPLAY"], expect["dismiss"]))
        dismisser.start()
    started = time.time()
    # A session of its own, so that a program that hangs is ended with
    # everything Wine started for it.
    env = dict(os.environ, VEXLOR_WINE_TIMEOUT="90")
    process = subprocess.Popen([wine_run, exe] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               start_new_session=True, env=env)
    try:
        stdout, _ = process.communicate(timeout=120)
        exit_code, output = process.returncode, stdout.decode("latin-1")
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        stdout, _ = process.communicate()
        exit_code, output = "timeout", stdout.decode("latin-1")
    finally:
        stop.set()
        if dismisser:
            dismisser.join()
    reports_text = output
    if "gui" in expect:
        reports_text = ""
        if os.path.exists(reports_file):
            with open(reports_file, encoding="latin-1") as f:
                reports_text = f.read()
    failures = check(name, expect, exit_code, output, reports_text)
    if "restart" in expect:
        failures += check_restart(*markers)
    status = "ok" if not failures else "FAILED"
    print(f"{status:6} {name} ({time.time() - started:.1f} s)")
    for failure in failures:
        print(f"       {failure}")
    if failures:
        print("       --- output ---")
        print("       " + "\n       ".join((reports_text or output).splitlines()[:80]))
    return not failures


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    build_dir, source_dir, wine_run = sys.argv[1:4]
    if os.environ.get("VEXLOR_WINE_STATE") and os.path.exists(os.environ["VEXLOR_WINE_STATE"]):
        with open(os.environ["VEXLOR_WINE_STATE"]) as state:
            for line in state:
                key, _, value = line.strip().partition("=")
                if key == "VEXLOR_DISPLAY":
                    os.environ["DISPLAY"] = value
    names = sys.argv[4:] or sorted(
        os.path.splitext(f)[0] for f in os.listdir(source_dir)
        if f.endswith((".cpp", ".c")) and "// expect:" in open(os.path.join(source_dir, f)).read())
    results = []
    for name in names:
        results.append(run_one(name, build_dir, source_dir, wine_run))
        if "rerun" in read_expectations(source_of(source_dir, name)):
            results.append(run_one(name, build_dir, source_dir, wine_run, rerun=True))
    print(f"{sum(results)} of {len(results)} crasher runs as annotated")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
