#!/usr/bin/python3
"""Checks that a build tree runs Python only as the distribution's interpreter: every test command
and every build command that starts one names /usr/bin/python3, never a python3 looked up on PATH
when it runs nor a path that the shell configuring the tree had first on PATH (a version manager's
shim, which may be gone by the time the tests run).

Usage: interpreter_check.py CTEST BUILD_DIR
"""
import json
import os
import re
import subprocess
import sys

WANTED = "/usr/bin/python3"
INTERPRETER = re.compile(r"python[0-9.]*")


def interpreters(words):
    """The words that name a Python interpreter, whether as a program or inside an argument given
    to a wrapper (tools/with-own-desktop, bash -c)."""
    parts = (part for word in words for part in re.split(r"[\s;&|()'\"]+", word))
    return [part for part in parts if INTERPRETER.fullmatch(os.path.basename(part))]


def test_commands(ctest, build):
    shown = subprocess.run([ctest, "--show-only=json-v1", "--test-dir", build], check=True,
                           stdout=subprocess.PIPE).stdout
    return {test["name"]: test.get("command", []) for test in json.loads(shown)["tests"]}


def build_commands(build):
    with open(os.path.join(build, "build.ninja"), encoding="utf-8") as f:
        return [line.split("=", 1)[1] for line in f if line.lstrip().startswith("COMMAND =")]


def main():
    ctest, build = sys.argv[1:3]
    wrong = []
    for name, command in test_commands(ctest, build).items():
        wrong += [f"test {name}: {word}" for word in interpreters(command) if word != WANTED]
    for command in build_commands(build):
        wrong += [f"build step: {word}" for word in interpreters([command]) if word != WANTED]
    for line in wrong:
        print("not the distribution's interpreter: " + line)
    print(f"{len(wrong)} commands start another interpreter" if wrong
          else f"every Python command names {WANTED}")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
