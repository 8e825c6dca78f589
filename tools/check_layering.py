#!/usr/bin/env python3
"""Checks that the source folders depend on each other in one direction only.

Every `#include "folder/..."` of a source folder, and every library a folder's CMakeLists.txt
links, must name the folder itself or one the table below lets it use. Prints each edge that
goes against the table and exits with 1; exits with 0 when there is none.

    check_layering.py [SOURCE_DIR]     check the tree (default: the checkout holding this file)
    check_layering.py --self-test      check that a wrong include and a wrong link are found
"""

import os
import re
import sys
import tempfile

# What each folder may use besides itself. tools, tests, bench and fuzz may use anything and
# are not checked.
BELOW_SHELL = {"hook", "platform", "imagefile", "editor", "framework", "capture", "view",
               "dialogs", "print"}
ALLOWED = {
    "hook": set(),
    "platform": set(),
    "imagefile": set(),
    "editor": {"imagefile", "framework"},
    "framework": {"platform"},
    "capture": {"platform", "imagefile", "framework", "hook"},
    "view": {"editor", "framework", "imagefile", "platform"},
    "dialogs": {"framework", "editor", "imagefile", "platform", "view"},
    "print": {"framework", "editor", "imagefile", "platform", "view"},
    "shell": BELOW_SHELL,
    "app": BELOW_SHELL | {"shell"},
}
FOLDERS = set(ALLOWED) | {"tools", "tests", "bench", "fuzz", "resources"}

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z_]+)/[^"]+"', re.M)
LIBRARY_CALL = re.compile(r"\b(orvane_library|target_link_libraries|add_library)\s*\(([^)]*)\)",
                          re.S)


def strip_comments(text):
    return "\n".join(line.split("#", 1)[0] for line in text.splitlines())


def cmake_files(root, folder):
    for dirpath, _, files in os.walk(os.path.join(root, folder)):
        if "CMakeLists.txt" in files:
            yield os.path.join(dirpath, "CMakeLists.txt")


def library_folders(root):
    """Which folder defines each library target."""
    owner = {}
    for folder in ALLOWED:
        for path in cmake_files(root, folder):
            with open(path) as f:
                for call, args in LIBRARY_CALL.findall(strip_comments(f.read())):
                    if call in ("orvane_library", "add_library") and args.split():
                        owner[args.split()[0]] = folder
    return owner


def include_edges(root, folder):
    for dirpath, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(dirpath, name)
            with open(path, errors="replace") as f:
                text = f.read()
            for used in INCLUDE.findall(text):
                if used in FOLDERS:
                    yield used, f"{os.path.relpath(path, root)} includes {used}/"


def link_edges(root, folder, owner):
    for path in cmake_files(root, folder):
        with open(path) as f:
            text = strip_comments(f.read())
        for call, args in LIBRARY_CALL.findall(text):
            if call == "add_library":
                continue
            words = args.split()
            for lib in words[1:]:
                if lib in owner:
                    yield owner[lib], f"{os.path.relpath(path, root)}: {words[0]} links {lib}"


def violations(root):
    owner = library_folders(root)
    found = []
    for folder in sorted(ALLOWED):
        if not os.path.isdir(os.path.join(root, folder)):
            continue
        for used, where in list(include_edges(root, folder)) + list(link_edges(root, folder,
                                                                                owner)):
            if used == folder or used in ALLOWED[folder]:
                continue
            found.append(f"{where}: {folder} may not use {used}")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as root:
        def write(path, text):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        write("platform/Store.h", '#pragma once\n#include "platform/Other.h"\n')
        write("framework/Frame.h", '#include "platform/Store.h"\n#include "app/App.h"\n')
        write("app/App.h", '#include "shell/Frame.h"\n')
        write("platform/CMakeLists.txt", "orvane_library(orvane_platform SOURCES a.cpp)\n")
        write("shell/CMakeLists.txt",
              "# orvane_library(commented PUBLIC_LIBS orvane_app)\n"
              "orvane_library(orvane_shell SOURCES f.cpp PUBLIC_LIBS orvane_platform)\n"
              "target_link_libraries(orvane_shell PUBLIC orvane_app)\n")
        write("app/CMakeLists.txt", "orvane_library(orvane_app PUBLIC_LIBS orvane_shell)\n")
        found = violations(root)
        expected = ["framework/Frame.h includes app/: framework may not use app",
                    "shell/CMakeLists.txt: orvane_shell links orvane_app: shell may not use app"]
        if found != expected:
            print("self-test failed; found:", *found, sep="\n  ")
            return 1
    print("self-test passed")
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    root = argv[1] if len(argv) > 1 else os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))
    found = violations(root)
    for line in found:
        print("wrong direction:", line)
    if found:
        return 1
    print("layering: every include and link follows the folder order")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
