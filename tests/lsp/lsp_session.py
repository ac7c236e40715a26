#!/usr/bin/env python3
"""Drives orlimar-check --lsp through a whole session, as an editor would.

Usage: lsp_session.py ORLIMAR_CHECK
Each step sends what an editor sends and checks what comes back: framing,
positions in UTF-16 units on accented lines, a change that breaks a line
then one that mends it, the outline, definition, references, hover,
completion, a quick fix applied then checked clean, shutdown and exit.
"""
import json
import subprocess
import sys

URI = "file:///histoire/porte.txt"
STORY = (
    "# Section 0\n"
    "[Narration]\n"
    "Élodie pousse la porte de l'étable.\n"
    "[/Narration]\n"
    "\n"
    "\"clé\"\n"
    "\n"
    "[Choix]\n"
    "Entrer -> Section : 1\n"
    "Attendre -> Section : 0\n"
    "Fuir -> Section : -1\n"
    "\n"
    "# Section 12\n"
    "<clé>\n"
    "[Fin]\n"
)


class Client:
    def __init__(self, command):
        self.server = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 0
        self.notifications = []

    def send(self, message):
        body = json.dumps(message, ensure_ascii=False).encode("utf-8")
        self.server.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.server.stdin.flush()

    def receive(self):
        length = None
        while True:
            line = self.server.stdout.readline()
            if not line:
                raise AssertionError("the server closed its output")
            if line == b"\r\n":
                break
            name, _, value = line.decode("ascii").partition(":")
            if name.lower() == "content-length":
                length = int(value)
        return json.loads(self.server.stdout.read(length).decode("utf-8"))

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        while True:
            message = self.receive()
            if message.get("id") == self.next_id:
                return message
            self.notifications.append(message)

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def diagnostics(self):
        """The next diagnostics published for the story."""
        while True:
            message = self.notifications.pop(0) if self.notifications else self.receive()
            if message.get("method") == "textDocument/publishDiagnostics":
                assert message["params"]["uri"] == URI, message
                return message["params"]["diagnostics"]


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def position(line, character):
    return {"textDocument": {"uri": URI}, "position": {"line": line, "character": character}}


def main():
    client = Client([sys.argv[1], "--lsp"])
    early = client.request("textDocument/hover", position(0, 0))
    expect(early["error"]["code"] == -32002, f"a request before initialize is refused: {early}")
    init = client.request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
    capabilities = init["result"]["capabilities"]
    expect(capabilities["textDocumentSync"]["change"] == 2, "incremental sync is offered")
    client.notify("initialized", {})
    client.notify("$/setTrace", {"value": "off"})

    client.notify("textDocument/didOpen", {"textDocument": {"uri": URI, "languageId": "orlimar", "version": 1, "text": STORY}})
    first = client.diagnostics()
    messages = [d["message"] for d in first]
    expect(any("en-tête numéroté 12" in m for m in messages), f"the header number is told: {messages}")
    header = next(d for d in first if "en-tête numéroté" in d["message"])
    expect(header["range"]["start"]["line"] == 12 and header["severity"] == 2 and header["source"] == "orlimar", header)

    # Indent the [Choix] marker, which breaks the block, then mend it.
    client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 2}, "contentChanges": [
        {"range": {"start": {"line": 7, "character": 0}, "end": {"line": 7, "character": 0}}, "text": "  "}]})
    broken = client.diagnostics()
    expect(any(d["range"]["start"]["line"] == 7 for d in broken), f"the indented marker is told: {broken}")
    client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 3}, "contentChanges": [
        {"range": {"start": {"line": 7, "character": 0}, "end": {"line": 7, "character": 2}}, "text": ""}]})
    expect(client.diagnostics() == first, "mending the line gives the first diagnostics back")
    # "É" is one UTF-16 unit and two bytes: characters 1 to 6 are "lodie".
    client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 4}, "contentChanges": [
        {"range": {"start": {"line": 2, "character": 1}, "end": {"line": 2, "character": 6}}, "text": "lise"}]})
    client.diagnostics()
    hover = client.request("textDocument/hover", position(9, 3))["result"]
    expect(hover["contents"]["value"] == "Section 0 : Élise pousse la porte de l'étable.", hover)
    end_of_line = client.request("textDocument/hover", position(2, 40))["result"]
    expect(end_of_line is None, "a narration line has nothing to show")

    symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": URI}})["result"]
    expect([s["name"] for s in symbols] == ["Section 0", "Section 1 (écrite 12)"], symbols)
    expect("fin" in symbols[1]["detail"], symbols[1])

    definition = client.request("textDocument/definition", position(8, 3))["result"]
    expect([d["range"]["start"]["line"] for d in definition] == [12], f"the target's header: {definition}")
    gains = client.request("textDocument/definition", position(13, 2))["result"]
    expect([d["range"]["start"]["line"] for d in gains] == [5], f"where the item is gained: {gains}")
    references = client.request("textDocument/references", {**position(0, 0), "context": {"includeDeclaration": False}})["result"]
    expect([r["range"]["start"]["line"] for r in references] == [9], references)
    item_hover = client.request("textDocument/hover", position(5, 1))["result"]
    expect(item_hover["contents"]["value"] == "« clé » : gagné ligne 6, retiré ligne 14", item_hover)

    targets = client.request("textDocument/completion", position(10, len("Fuir -> Section : ")))["result"]
    expect([t["label"] for t in targets] == ["0", "1", "-1"], targets)
    markers = client.request("textDocument/completion", position(4, 0))["result"]
    expect("[Dialogue]" in [m["label"] for m in markers], markers)

    # A misspelt marker, its quick fix applied, and that diagnostic gone.
    client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 5}, "contentChanges": [
        {"range": {"start": {"line": 4, "character": 0}, "end": {"line": 4, "character": 0}}, "text": "[fin]"}]})
    misspelt = [d for d in client.diagnostics() if d["range"]["start"]["line"] == 4]
    expect(misspelt and "marqueur mal écrit" in misspelt[0]["message"], misspelt)
    actions = client.request("textDocument/codeAction", {"textDocument": {"uri": URI}, "range": misspelt[0]["range"],
                                                          "context": {"diagnostics": misspelt}})["result"]
    edit = actions[0]["edit"]["changes"][URI][0]
    expect(edit["newText"] == "[Fin]" and actions[0]["kind"] == "quickfix", actions)
    client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 6}, "contentChanges": [
        {"range": edit["range"], "text": edit["newText"]}]})
    after = client.diagnostics()
    expect(not any(d["range"]["start"]["line"] == 4 and "marqueur mal écrit" in d["message"] for d in after), after)

    client.notify("textDocument/didClose", {"textDocument": {"uri": URI}})
    expect(client.diagnostics() == [], "closing clears the diagnostics")
    expect(client.request("shutdown", None)["result"] is None, "shutdown answers null")
    client.notify("exit", None)
    status = client.server.wait(timeout=10)
    expect(status == 0, f"exit after shutdown is 0, not {status}")
    print("lsp session: every step as expected")


if __name__ == "__main__":
    main()
