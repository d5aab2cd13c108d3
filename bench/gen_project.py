#!/usr/bin/env python3
"""Writes a tree of FILES module files (standard modules and classes in ten
folders) holding about LINES lines in all, CP932 with CR LF: procedures of
every kind, a third with a current header, a third with a stale one and a
third with none. Usage: gen_project.py DIR [FILES] [LINES]"""
import os
import sys

STAR = "'" + "*" * 66


def header(name, params, ret):
    out = [STAR, f"'プロシージャ名:  :{name}", "'説明:            :手続きの説明"]
    width = max(len(p) for p in params) if params else 0
    for i, p in enumerate(params):
        lead = "'引数:            :" if i == 0 else "'                 :"
        out.append(f"{lead}{p.ljust(width + 10)}I   引数の説明")
    if ret:
        out.append(f"'戻り値           :{ret}型")
    out.append(STAR)
    return out


def module(index, lines):
    name = f"mod{index:04d}"
    out = [f'Attribute VB_Name = "{name}"', "Option Explicit", "",
           "Private mlngCount As Long", ""]
    i = 0
    while len(out) < lines:
        kind = "Function" if i % 2 else "Sub"
        params = ["lngBase", "strName", "curAmount"][: i % 4]
        ret = "Long" if kind == "Function" else ""
        proc = f"Proc{i}"
        state = i % 3
        if state == 1:
            out += header(proc, params, ret)
        elif state == 2:
            out += header(proc, params + ["lngOld"], ret)
        decl_params = ", ".join(f"ByVal {p} As Long" for p in params)
        as_ret = f" As {ret}" if ret else ""
        out.append(f"Public {kind} {proc}({decl_params}){as_ret}")
        for j in range(12):
            out.append(f"    mlngCount = mlngCount + {j}  ' 数える")
        out.append(f"End {kind}")
        out.append("")
        i += 1
    return name, out


def main():
    root = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    total = int(sys.argv[3]) if len(sys.argv) > 3 else 400000
    per_file = total // files
    written = 0
    for k in range(files):
        folder = os.path.join(root, f"part{k % 10}")
        os.makedirs(folder, exist_ok=True)
        name, lines = module(k, per_file)
        written += len(lines)
        with open(os.path.join(folder, name + ".bas"), "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
    print(written)


main()
