#!/usr/bin/env python3
"""Writes a standard module of about LINES lines holding PROCS procedures,
CP932 with CR LF, as a large real module would be; prints the file line of
the last procedure's body so the caller can put the cursor there. With
--bare the procedures have no comment of their own above them, so that an
editor is offered a header for each. With --short the body lines are short
statements with a short Japanese remark (some 24 bytes a line, as in a
module of 100,000 lines in 2.4 MB), where the cost of each line weighs more
than the cost of each byte."""
import sys

def main():
    path, lines, procs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    bare = "--bare" in sys.argv[4:]
    short = "--short" in sys.argv[4:]
    out = ['Attribute VB_Name = "modBig"', "Option Explicit", "",
           "Private Declare Function GetTickCount Lib \"kernel32\" () As Long", ""]
    body = max(1, (lines - len(out)) // procs - 4)
    last_body = 0
    for i in range(procs):
        if not bare:
            out.append(f"' 手続き {i}")
        scope = ("Public", "Private", "Friend")[i % 3]
        kind = "Function" if i % 2 else "Sub"
        ret = " As Long" if kind == "Function" else ""
        out.append(f"{scope} {kind} Proc{i}(ByVal a As Long, Optional b As String = \"x, y\"){ret}")
        last_body = len(out) + 1
        for j in range(body):
            if short:
                out.append(f"    n = n + {j}  ' 注記")
            else:
                out.append(f"    Debug.Print \"End {kind}\" & a & {j}  ' コメント")
        out.append(f"End {kind}")
        out.append("")
    with open(path, "wb") as f:
        f.write(("\r\n".join(out) + "\r\n").encode("cp932"))
    print(last_body)

main()
