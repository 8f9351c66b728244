#!/usr/bin/env python3
"""Checks what Windows shows of a built program: its version information
(VERSIONINFO's strings, UTF-16 in the resources) and its manifest.

Usage: check-windows-resources.py VERSION PROGRAM.exe...
"""
import re
import sys


def version_string(data, key):
    """The value of `key` in the program's StringFileInfo block, or None."""
    pattern = (key + "\0").encode("utf-16-le") + rb"(?:\0\0)*((?:[^\0]\0)+)\0\0"
    found = re.search(pattern, data)
    return found.group(1).decode("utf-16-le") if found else None


def main():
    version, programs = sys.argv[1], sys.argv[2:]
    four_parts = ".".join((version.split(".") + ["0"] * 4)[:4])
    faults = []
    for program in programs:
        with open(program, "rb") as exe:
            data = exe.read()
        for key, expected in (("FileVersion", four_parts), ("ProductVersion", version),
                              ("ProductName", "Korvel")):
            value = version_string(data, key)
            if value != expected:
                faults.append(f"{program}: {key} is {value!r}, not {expected!r}")
        manifest = re.search(rb"<assembly.*?</assembly>", data, re.S)
        if not manifest:
            faults.append(f"{program}: no manifest")
            continue
        text = manifest.group(0).decode("utf-8")
        supported = re.findall(r'supportedOS Id="\{([^}]+)\}"', text)
        checks = {
            f'assemblyIdentity version "{four_parts}"':
                re.search(r'<assemblyIdentity type="win32" name="Korvel" version="' +
                          re.escape(four_parts) + '"', text),
            "longPathAware": re.search(r"<longPathAware[^>]*>true</longPathAware>", text),
            "asInvoker": re.search(r'<requestedExecutionLevel level="asInvoker"', text),
            "Windows 10 and 11 only": supported == ["8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"],
        }
        faults += [f"{program}: manifest lacks {name}" for name, ok in checks.items() if not ok]
    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"{len(programs)} programs checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
