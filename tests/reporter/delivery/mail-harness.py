#!/usr/bin/env python3
"""mail-harness.py WORKDIR -- COMMAND...: runs COMMAND (a Windows test under
wine-run) with the delivery tests' real servers on loopback, and stops them
by PID afterwards. Exit status: the command's, or 90+ when the harness failed.

- a test CA (openssl), a server certificate from it, one for another name,
  a self-signed one and one from a CA nobody trusts;
- dnsmasq in the foreground on port 53 of a free loopback address, serving
  MX and address records for *.test and nothing else (no upstream);
- the SMTP listeners of smtp-servers.py (aiosmtpd, /usr/bin/python3);
- COMMAND inside a private mount namespace (unshare -m) whose /etc/resolv.conf
  names only that dnsmasq, so the system's DNS servers (GetNetworkParams) and
  its host lookups reach nothing but it. The mount is checked before COMMAND
  starts; no query leaves the machine.

COMMAND finds every fact in the key=value file named by VEXLOR_DELIVERY_STATE.
"""
import json
import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SYSTEM_PYTHON = "/usr/bin/python3"


def fail(message, code=90):
    print("mail harness: " + message, file=sys.stderr)
    sys.exit(code)


def openssl(*args):
    result = subprocess.run(["openssl", *args], capture_output=True, text=True)
    if result.returncode != 0:
        fail("openssl %s failed: %s" % (args[0], result.stderr.strip()))


def make_certificates(folder):
    """Returns the file names of the CA and the four server certificates."""
    os.makedirs(folder, exist_ok=True)
    p = lambda name: os.path.join(folder, name)
    ext = p("server.ext")

    def key(name):
        openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                "-out", p(name + ".key"))

    def ca(name, subject):
        key(name)
        openssl("req", "-x509", "-new", "-key", p(name + ".key"), "-sha256", "-days", "30",
                "-subj", "/CN=" + subject, "-out", p(name + ".pem"),
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")

    def server(name, dns, issuer):
        key(name)
        with open(ext, "w") as f:
            f.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                    "extendedKeyUsage=serverAuth\nsubjectAltName=%s\n" %
                    ",".join("DNS:" + d for d in dns))
        openssl("req", "-new", "-key", p(name + ".key"), "-subj", "/CN=" + dns[0],
                "-out", p(name + ".csr"))
        openssl("x509", "-req", "-in", p(name + ".csr"), "-CA", p(issuer + ".pem"),
                "-CAkey", p(issuer + ".key"), "-CAcreateserial", "-days", "30", "-sha256",
                "-extfile", ext, "-out", p(name + ".pem"))

    ca("ca", "Vexlor Test CA")
    ca("stranger", "Vexlor Stranger CA")
    server("good", ["starttls.test", "smtps.test"], "ca")
    server("othername", ["elsewhere.test"], "ca")
    server("unknownca", ["unknownca.test"], "stranger")
    key("selfsigned")
    openssl("req", "-x509", "-new", "-key", p("selfsigned.key"), "-sha256", "-days", "30",
            "-subj", "/CN=selfsigned.test", "-addext", "subjectAltName=DNS:selfsigned.test",
            "-out", p("selfsigned.pem"))
    openssl("x509", "-in", p("ca.pem"), "-outform", "DER", "-out", p("ca.der"))
    return p


def port_free(host, port, kind):
    s = socket.socket(socket.AF_INET, kind)
    try:
        s.bind((host, port))
        return True
    except OSError:
        return False
    finally:
        s.close()


def choose_base():
    """A loopback /24 whose port 53 (DNS) and 465 (implicit TLS) are free:
    two runs at once, or a resolver of the host, never meet."""
    for _ in range(50):
        base = "127.%d.%d." % (random.randint(100, 250), random.randint(1, 254))
        if port_free(base + "1", 53, socket.SOCK_DGRAM) and \
                port_free(base + "5", 465, socket.SOCK_STREAM):
            return base
    fail("no loopback address with free ports 53 and 465")


def dns_query(server, name, qtype=1):
    query = struct.pack(">HHHHHH", 0x1234, 0x0100, 1, 0, 0, 0)
    for label in name.split("."):
        query += bytes([len(label)]) + label.encode()
    query += b"\x00" + struct.pack(">HH", qtype, 1)
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(0.2)
    try:
        s.sendto(query, (server, 53))
        return s.recv(512)
    except OSError:
        return None
    finally:
        s.close()


def wait_for(what, test, process, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            fail("%s ended at start-up (exit %s)" % (what, process.returncode))
        if test():
            return
        time.sleep(0.02)  # a poll, not a pause: the condition decides
    fail("%s did not start within %d s" % (what, seconds))


def stop(process):
    if process and process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main():
    if "--" not in sys.argv:
        fail("usage: mail-harness.py WORKDIR -- COMMAND...", 2)
    split = sys.argv.index("--")
    work, command = os.path.abspath(sys.argv[1]), sys.argv[split + 1:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for tool in ("openssl", "dnsmasq", "unshare", "mount"):
        if not shutil.which(tool) and not os.path.exists("/usr/sbin/" + tool):
            fail(tool + " is missing (scripts/setup-debian.sh installs it)")
    cert = make_certificates(os.path.join(work, "certs"))
    base = choose_base()
    addr = lambda n: base + str(n)
    dns = addr(1)

    records = {"mx.one.test": addr(2), "mx.two.test": addr(3), "starttls.test": addr(4),
               "smtps.test": addr(5), "selfsigned.test": addr(6), "othername.test": addr(7),
               "unknownca.test": addr(8), "plain.test": addr(9), "ready.test": addr(9)}
    dns_log = os.path.join(work, "dnsmasq.log")
    with open(os.path.join(work, "dnsmasq.conf"), "w") as f:
        f.write("port=53\nlisten-address=%s\nbind-interfaces\nno-resolv\nno-hosts\n"
                "local=/test/\nlog-queries\nlog-facility=%s\n" % (dns, dns_log))
        f.write("mx-host=one.test,mx.one.test,10\nmx-host=two.test,mx.two.test,10\n")
        # A second, less preferred exchanger: the lowest preference must win.
        f.write("mx-host=one.test,mx.backup.test,50\nhost-record=mx.backup.test,%s\n" % addr(9))
        for name, ip in records.items():
            f.write("host-record=%s,%s\n" % (name, ip))
    dnsmasq = smtp = None
    try:
        dnsmasq = subprocess.Popen(
            [shutil.which("dnsmasq") or "/usr/sbin/dnsmasq", "-k", "--user=root",
             "--conf-file=" + os.path.join(work, "dnsmasq.conf"), "--pid-file="],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(work, "dnsmasq.err"), "w"))
        wait_for("dnsmasq", lambda: dns_query(dns, "ready.test") is not None, dnsmasq)

        mail = os.path.join(work, "mail")
        listeners = [
            {"name": "smtp", "kind": "smtp", "host": addr(9)},
            {"name": "noehlo", "kind": "noehlo", "host": addr(9)},
            {"name": "slow", "kind": "slow", "host": addr(9)},
            {"name": "silent", "kind": "silent", "host": addr(9)},
            {"name": "mx1", "kind": "smtp", "host": addr(2)},
            {"name": "starttls", "kind": "starttls", "host": addr(4),
             "cert": cert("good.pem"), "key": cert("good.key")},
            {"name": "implicit", "kind": "implicit", "host": addr(5), "port": 465,
             "cert": cert("good.pem"), "key": cert("good.key")},
            {"name": "selfsigned", "kind": "starttls", "host": addr(6),
             "cert": cert("selfsigned.pem"), "key": cert("selfsigned.key")},
            {"name": "othername", "kind": "starttls", "host": addr(7),
             "cert": cert("othername.pem"), "key": cert("othername.key")},
            {"name": "unknownca", "kind": "starttls", "host": addr(8),
             "cert": cert("unknownca.pem"), "key": cert("unknownca.key")},
            # SMTPPort is one number for every exchanger: the second
            # listens on the first one's port.
            {"name": "mx2", "kind": "smtp", "host": addr(3), "port": "@mx1"},
        ]
        config = os.path.join(work, "servers.json")
        ready = os.path.join(work, "ready.json")
        with open(config, "w") as f:
            json.dump({"dir": mail, "listeners": listeners}, f)
        smtp = subprocess.Popen([SYSTEM_PYTHON, os.path.join(HERE, "smtp-servers.py"),
                                 config, ready], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL,
                                stderr=open(os.path.join(work, "smtp.err"), "w"))
        wait_for("the SMTP servers", lambda: os.path.exists(ready), smtp)
        ports = json.load(open(ready))

        resolv = os.path.join(work, "resolv.conf")
        with open(resolv, "w") as f:
            f.write("nameserver %s\noptions timeout:1 attempts:1\n" % dns)
        state = os.path.join(work, "state.env")
        with open(state, "w") as f:
            facts = {"dir": work, "mail": mail, "dns": dns, "dnslog": dns_log,
                     "ca": cert("ca.der"), "base": base}
            facts.update({"port_" + k: v for k, v in ports.items()})
            facts.update({"host_" + l["name"]: l["host"] for l in listeners})
            for k, v in facts.items():
                f.write("%s=%s\n" % (k, v))
        env = dict(os.environ, VEXLOR_DELIVERY_STATE=state, VEXLOR_RESOLV=resolv)
        # Wine has a "mapi32.dll" of its own: off, so
        # that a machine without a MAPI library is what the tests see. (Wine
        # reads this from the Unix environment its programs start with.)
        env["WINEDLLOVERRIDES"] = \
            (os.environ.get("WINEDLLOVERRIDES") or "mscoree,mshtml=") + ";mapi32=d"
        host_resolv = open("/etc/resolv.conf", "rb").read()
        # The mount must hold before the command starts, or nothing runs.
        inner = ('mount --bind "$VEXLOR_RESOLV" /etc/resolv.conf || exit 91; '
                 'cmp -s "$VEXLOR_RESOLV" /etc/resolv.conf || exit 92; exec "$@"')
        result = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", inner,
                                 "sh", *command], env=env)
        if open("/etc/resolv.conf", "rb").read() != host_resolv:
            fail("the host's /etc/resolv.conf changed", 93)
        if result.returncode in (91, 92):
            fail("the private resolv.conf could not be mounted", result.returncode)
        return result.returncode
    finally:
        stop(smtp)
        stop(dnsmasq)


sys.exit(main())
