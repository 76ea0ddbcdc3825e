"""Runs the console examples of a documentation page and compares their output.

Usage: console_examples.py PAGE.rst TOOL_DIR. A `code-block` with a `:caption:` is a
file the examples read: it is written under that name into an empty folder first. In
each `code-block:: console`, a line starting with "$ " is a command (a trailing
backslash continues it) run by bash there with TOOL_DIR first on PATH; the lines up to
the next command are its expected standard output.
"""

import os
import re
import subprocess
import sys
import tempfile
import textwrap

BLOCK = re.compile(r"^\.\. code-block:: *(\w+)\n((?: +:\w+:.*\n)*)\n((?:(?: .*)?\n)+)", re.M)


def main(page, tool_dir):
    failures = 0
    env = dict(os.environ, PATH=os.path.abspath(tool_dir) + os.pathsep + os.environ["PATH"])
    with tempfile.TemporaryDirectory() as folder:
        for language, options, body in BLOCK.findall(open(page).read()):
            text = textwrap.dedent(body).rstrip("\n") + "\n"
            caption = re.search(r":caption: *(\S+)", options)
            if caption:
                with open(os.path.join(folder, caption.group(1)), "w") as file:
                    file.write(text)
            if language != "console":
                continue
            for command, expected in re.findall(r"^\$ ((?:.*\\\n)*.*)\n((?:(?!\$ ).*\n)*)", text, re.M):
                result = subprocess.run(["bash", "-c", command], cwd=folder, env=env,
                                        capture_output=True, text=True)
                if result.returncode != 0 or result.stdout != expected:
                    failures += 1
                    print(f"$ {command}\nexit {result.returncode}; expected:\n{expected}got:\n"
                          f"{result.stdout}{result.stderr}")
    print(f"{page}: {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
