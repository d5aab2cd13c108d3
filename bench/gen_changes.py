#!/usr/bin/env python3
"""Writes FILES module files (ten folders) holding about LINES lines in all,
CP932 with CR LF, with change-marked blocks as `tolvan comment` writes them
(added, deleted and modified, with the factory texts) and legacy blocks of
the start-author-date dialect, one block every 20 lines or so.
Usage: gen_changes.py DIR [FILES] [LINES]"""
import os
import sys

MARKS = [("Add Start   ", "Add End     ", "Add", False),
         ("Delete Start", "Delete End  ", "Delete", True),
         ("Modify Start", "Modify End  ", "Modify", False)]


def module(index, lines):
    name = f"mod{index:04d}"
    out = [f'Attribute VB_Name = "{name}"', "Option Explicit", ""]
    i = 0
    while len(out) < lines:
        out.append(f"Public Sub Proc{i}()")
        body = [f"    mlngCount = mlngCount + {j}  ' 数える" for j in range(14)]
        start, end, word, commented = MARKS[i % 3]
        date = f"20{i % 20 + 5:02d}/{i % 12 + 1:02d}/{i % 28 + 1:02d}"
        if i % 4 == 3:
            out += [f"'ADD START 鈴木 {date} ****"] + body[:3] + [f"'ADD  END  鈴木 {date}"]
        else:
            width = max(len(b) for b in body[:3])
            out.append(f"'******* {start} ******** {date}")
            for b in body[:3]:
                out.append(("'" if commented else "") + b.ljust(width) + f"\t'{word} {date}")
            out.append(f"'******* {end} ******** {date}")
        out += body[3:]
        out.append("End Sub")
        out.append("")
        i += 1
    return name, out


def main():
    root = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    total = int(sys.argv[3]) if len(sys.argv) > 3 else 400000
    written = 0
    for k in range(files):
        folder = os.path.join(root, f"part{k % 10}")
        os.makedirs(folder, exist_ok=True)
        name, lines = module(k, total // files)
        with open(os.path.join(folder, name + ".bas"), "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
        written += len(lines)
    print(written)


if __name__ == "__main__":
    main()
