"""Exit status 0 when the 24-bit BMP file FILE pictures a window rather than
an empty screen: a sizeable picture of more than eight colours."""
import sys


def main(path):
    data = open(path, 'rb').read()
    offset = int.from_bytes(data[10:14], 'little')
    pixels = data[offset:]
    colours = {pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3)}
    return 0 if len(data) > 100000 and len(colours) > 8 else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
