#!/usr/bin/python3
"""Finds expected pictures in a browser screenshot.

Usage: screenshot_compare.py SHOT.png EXPECTED.png X Y [EXPECTED.png X Y ...]
Each EXPECTED is an RGBA picture as `loopwright render` writes it; it is
shown on white (pixels with alpha of 128 or more blended over white, the
others white). Near (X, Y) (within 3 pixels) the best-matching place is
searched on the picture's top-left corner; prints a JSON list with, per picture, the place, the largest
channel difference and the mean difference there.
"""
import json
import sys

from PIL import Image, ImageChops, ImageStat


def on_white(path):
    exp = Image.open(path).convert("RGBA")
    white = Image.new("RGB", exp.size, (255, 255, 255))
    shown = exp.getchannel("A").point(lambda a: 255 if a >= 128 else 0)
    blended = Image.alpha_composite(Image.new("RGBA", exp.size, (255, 255, 255, 255)), exp).convert("RGB")
    white.paste(blended, (0, 0), shown)
    return white


def main(argv):
    shot = Image.open(argv[1]).convert("RGB")
    results = []
    for i in range(2, len(argv) - 2, 3):
        want = on_white(argv[i])
        x0, y0 = int(argv[i + 1]), int(argv[i + 2])
        cw, ch = min(want.width, 160), min(want.height, 160)
        corner = want.crop((0, 0, cw, ch))
        place, score = None, None
        for dy in range(-3, 4):
            for dx in range(-3, 4):
                x, y = x0 + dx, y0 + dy
                if x < 0 or y < 0 or x + want.width > shot.width or y + want.height > shot.height:
                    continue
                diff = ImageChops.difference(shot.crop((x, y, x + cw, y + ch)), corner)
                mean = sum(ImageStat.Stat(diff).mean)
                if score is None or mean < score:
                    place, score = (x, y), mean
        if place is None:
            results.append({"error": "picture outside the screenshot"})
            continue
        x, y = place
        diff = ImageChops.difference(shot.crop((x, y, x + want.width, y + want.height)), want)
        results.append({"x": x, "y": y, "mean": sum(ImageStat.Stat(diff).mean) / 3.0,
                        "max": max(hi for _, hi in diff.getextrema())})
    print(json.dumps(results))


if __name__ == "__main__":
    main(sys.argv)
