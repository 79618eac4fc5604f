#!/usr/bin/env python3
"""Fails when an include under src/ points up the layers, or when a window reaches past another
window's public header. Run by CTest; prints every offending line."""
import pathlib
import re
import sys

# folder -> the folders it may include (besides itself). Lower layers first.
ALLOWED = {
    "core": set(),
    "look": set(),
    "decode": {"look"},
    "crawl": {"look", "core"},
    "viewindex": {"core"},
    "dialoglogic": {"core"},
    "net": {"crawl", "core"},
    "render": {"crawl", "core"},
    "archive": {"crawl", "look", "core"},
    "sheetlogic": {"viewindex", "archive", "crawl", "decode", "look", "core"},
    "widgets": {"core"},
    "avifimage": set(),
    "dialogs": {"widgets", "dialoglogic", "core"},
    "viewer": {"widgets", "viewindex", "look", "core"},
    "sheet": {"widgets", "sheetlogic", "archive", "core"},
    "mainwindow": {"dialogs", "viewer", "sheet", "widgets", "net", "render", "archive", "crawl",
                   "look", "core"},
    "cli": {"net", "render", "archive", "crawl", "look", "core"},
    "app": {"mainwindow", "widgets", "look", "core"},
}
# Windows see each other only through the headers of the windows themselves.
PUBLIC = {
    "dialogs": re.compile(r"frm\w+\.h$"),
    "viewer": re.compile(r"frmViewer\.h$"),
    "sheet": re.compile(r"frmSheet\.h$"),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main(src: pathlib.Path) -> int:
    faults = []
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        if folder.name not in ALLOWED:
            faults.append(f"{folder}: folder has no place in the layers (add it to {__file__})")
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1).split("/")
                if len(target) == 1 and target[0] == f"moc_{path.stem}.cpp":
                    continue  # moc's code for the file's own class, generated beside the build
                if len(target) < 2:
                    faults.append(f"{path}:{number}: include without its folder: {m.group(1)}")
                    continue
                other = target[0]
                if other == folder.name:
                    continue
                if other not in ALLOWED[folder.name]:
                    faults.append(f"{path}:{number}: {folder.name} may not include {m.group(1)}")
                elif other in PUBLIC and not PUBLIC[other].search(m.group(1)):
                    faults.append(f"{path}:{number}: {m.group(1)} is internal to {other}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
