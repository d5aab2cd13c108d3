"""Exit status 0 when FILE holds exactly COUNT messages of the language
server, each framed by a Content-Length header ended with CR LF CR LF and
holding JSON; otherwise says what is wrong."""
import json
import re
import sys


def main(path, count):
    data = open(path, 'rb').read()
    answers = 0
    while data:
        m = re.match(rb'Content-Length: (\d+)\r\n\r\n', data)
        if not m:
            return 'not framed: %r' % data[:80]
        end = m.end() + int(m.group(1))
        json.loads(data[m.end():end])
        data = data[end:]
        answers += 1
    return 0 if answers == count else 'answers: %d' % answers


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], int(sys.argv[2])))
