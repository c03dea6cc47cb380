#!/usr/bin/python3
"""smtp-servers.py CONFIG.json READY.json: the mail servers of the delivery
tests, all in one process (Debian's aiosmtpd). Each listener stores every
message it accepts as <dir>/<name>/<n>.eml, byte for byte as received after
the dot-unstuffing, and keeps a transcript of what its clients sent in
<dir>/<name>.log. Once every listener is bound, READY.json names their ports.

Listener kinds: "smtp" (AUTH LOGIN without TLS; user "tester", password
"secret"; recipients starting "refused" are refused with 550, "forward"
answered with 251), "starttls" (the same behind a required STARTTLS),
"implicit" (TLS from the first byte), "noehlo" (refuses EHLO), "slow" (as
"smtp", each reply a little late, so a progress window can be watched),
"silent" (accepts and never answers)."""
import asyncio
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        os.makedirs(folder, exist_ok=True)

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("refused"):
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        if address.startswith("forward"):
            return "251 User not local; will forward"
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.folder, "%d.eml" % self.count)
        with open(path + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(path + ".tmp", path)
        return "250 Message accepted for delivery"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login == b"tester" and auth_data.password == b"secret"
    return AuthResult(success=ok, handled=False)


class Transcribed(SMTP):
    transcript = None
    refuse_ehlo = False
    delay = 0

    async def push(self, status):
        if self.delay:
            await asyncio.sleep(self.delay)
        await super().push(status)

    def data_received(self, data):
        with open(self.transcript, "ab") as f:
            f.write(data)
        super().data_received(data)

    async def smtp_EHLO(self, hostname):
        if self.refuse_ehlo:
            await self.push("502 Command not implemented")
            return
        await super().smtp_EHLO(hostname)


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


async def silent(reader, writer):
    await reader.read()  # holds the connection until the client leaves
    writer.close()


async def main():
    config = json.load(open(sys.argv[1]))
    ready = {}
    servers = []
    loop = asyncio.get_running_loop()
    for item in config["listeners"]:
        name, kind = item["name"], item["kind"]
        host, port = item["host"], item.get("port", 0)
        if isinstance(port, str) and port.startswith("@"):
            port = ready[port[1:]]
        if kind == "silent":
            server = await asyncio.start_server(silent, host, port)
        else:
            store = Store(os.path.join(config["dir"], name))
            context = tls_context(item["cert"], item["key"]) if "cert" in item else None
            transcript = os.path.join(config["dir"], name + ".log")

            def factory(store=store, context=context, transcript=transcript, kind=kind):
                protocol = Transcribed(
                    store, hostname="mail.test", authenticator=authenticate,
                    auth_require_tls=kind not in ("smtp", "implicit", "noehlo", "slow"),
                    tls_context=context if kind == "starttls" else None,
                    require_starttls=kind == "starttls", data_size_limit=0)
                protocol.transcript = transcript
                protocol.refuse_ehlo = kind == "noehlo"
                protocol.delay = 0.4 if kind == "slow" else 0
                return protocol

            server = await loop.create_server(
                factory, host, port, ssl=context if kind == "implicit" else None)
        servers.append(server)
        ready[name] = server.sockets[0].getsockname()[1]
    with open(sys.argv[2] + ".tmp", "w") as f:
        json.dump(ready, f)
    os.rename(sys.argv[2] + ".tmp", sys.argv[2])
    await asyncio.Event().wait()


asyncio.run(main())
