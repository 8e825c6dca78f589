"""Runs a line-oriented helper program and reads its answers with time limits."""

import queue
import subprocess
import threading


class LineProcess:
    def __init__(self, popen):
        self.proc = popen
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def send(self, text):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()

    def expect(self, timeout=10.0):
        """The next line, or an error when none comes in time or the program ended."""
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise TimeoutError("no answer in time") from None
        if line is None:
            raise EOFError("the program ended")
        return line

    def ask(self, command, timeout=10.0):
        self.send(command)
        return self.expect(timeout)


def start_line_process(xsession, argv):
    popen = xsession.spawn(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                           bufsize=1)
    return LineProcess(popen)
