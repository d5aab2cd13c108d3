"""Prints the keys and values of a regedit export (UTF-8) one a line, as
"[key]" and "[key] name=value", leaving out the keys Wine rewrites on its
own: its own tree, and the network cards its services write while a prefix
starts. Two exports of the same registry give the same lines."""
import re
import sys

VOLATILE = re.compile(
    r'^\[HKEY_(LOCAL_MACHINE|CURRENT_USER)\\Software\\(Wow6432Node\\)?'
    r'(Wine\\|Microsoft\\Windows NT\\CurrentVersion\\NetworkCards)', re.I)


def main(path):
    key = None
    # A long value goes on over lines ending in a backslash.
    text = open(path, encoding='utf-8').read().replace('\\\n  ', '')
    for line in text.split('\n'):
        if line.startswith('['):
            key = line
            if not VOLATILE.match(key):
                print(key)
        elif key and line and not line.startswith('REGEDIT') and not VOLATILE.match(key):
            print(key, line)


if __name__ == '__main__':
    main(sys.argv[1])
