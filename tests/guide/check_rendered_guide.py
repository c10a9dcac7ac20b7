#!/usr/bin/python3
"""Opens a guide page of the release package in headless Chromium and checks
that it shows what its Markdown holds: every table laid out with its rows and
columns, every picture decoded and drawn. The page is measured in the browser
(a copy of it with a measuring script added), then photographed at its whole
height; each picture's area of the screenshot must show the picture, not an
empty box. Prints what it saw; exits 1 on a missing table or picture.

usage: check_rendered_guide.py <page.md> <page.html> <screenshot.png>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image  # Debian's python3-pil

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--hide-scrollbars"]
WIDTH = 1100

MEASURE = """<script>
window.addEventListener("load", () => {
  const box = (e) => { const r = e.getBoundingClientRect();
    return [r.left + scrollX, r.top + scrollY, r.width, r.height].map(Math.round).join(" "); };
  const lines = [];
  for (const t of document.querySelectorAll("table"))
    lines.push(`table ${t.rows.length} ${t.rows[0] ? t.rows[0].cells.length : 0} ${box(t)}`);
  for (const i of document.images)
    lines.push(`image ${i.naturalWidth} ${i.naturalHeight} ${box(i)}`);
  lines.push(`height ${document.documentElement.scrollHeight}`);
  const out = document.createElement("pre");
  out.id = "measured";
  out.textContent = lines.join("\\n");
  document.body.appendChild(out);
});
</script>"""


def chromium(profile, *args):
    return subprocess.run(["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *args],
                          check=True, capture_output=True, text=True, timeout=120).stdout


def expected(markdown):
    """Tables (one delimiter row each) and pictures the Markdown holds."""
    text = open(markdown, encoding="utf-8").read()
    tables = re.findall(r"^ *\|(?: *:?-+:? *\|)+ *$", text, re.M)
    return len(tables), len(re.findall(r"!\[[^\]]*\]\(", text))


def colours(picture, left, top, width, height):
    """How many colours the screenshot shows in the box (at most 256 counted)."""
    found = picture.crop((left, top, left + width, top + height)).getcolors(256)
    return 257 if found is None else len(found)


def main():
    markdown, page, screenshot = sys.argv[1:4]
    want_tables, want_images = expected(markdown)
    profile = tempfile.mkdtemp(prefix="guide-browser-")
    measuring = os.path.join(os.path.dirname(os.path.abspath(page)), ".measure.html")
    try:
        html = open(page, encoding="utf-8").read()
        open(measuring, "w", encoding="utf-8").write(html.replace("</body>", MEASURE + "</body>"))
        dom = chromium(profile, "--virtual-time-budget=5000", "--dump-dom", "file://" + measuring)
        found = re.search(r'<pre id="measured">(.*?)</pre>', dom, re.S)
        if not found:
            print(f"FAIL {page}: the browser did not finish laying out the page")
            return 1
        lines = [line.split() for line in found.group(1).splitlines()]
        height = min(int(lines[-1][1]), 16000)
        chromium(profile, f"--window-size={WIDTH},{height}", f"--screenshot={os.path.abspath(screenshot)}",
                 "file://" + os.path.abspath(page))
    finally:
        shutil.rmtree(profile, ignore_errors=True)
        if os.path.exists(measuring):
            os.remove(measuring)

    pixels = Image.open(screenshot).convert("RGB")
    failures = []
    tables = [list(map(int, line[1:])) for line in lines if line[0] == "table"]
    images = [list(map(int, line[1:])) for line in lines if line[0] == "image"]
    if len(tables) != want_tables:
        failures.append(f"{len(tables)} tables shown, the Markdown has {want_tables}")
    if len(images) != want_images:
        failures.append(f"{len(images)} pictures shown, the Markdown has {want_images}")
    for number, (rows, columns, _, _, width, tall) in enumerate(tables, 1):
        if rows < 2 or columns < 2 or width == 0 or tall < rows * 10:
            failures.append(f"table {number} not laid out: {rows} rows, {columns} columns, {width}x{tall} px")
    for number, (natural_width, natural_height, left, top, width, tall) in enumerate(images, 1):
        if natural_width == 0 or width == 0 or tall == 0:
            failures.append(f"picture {number} not decoded or not shown ({natural_width}x{natural_height})")
        elif colours(pixels, left, top, width, tall) < 16:
            failures.append(f"picture {number}: its place in the screenshot is blank")
    print(f"{os.path.basename(page)}: {len(tables)} tables "
          f"({', '.join(f'{t[0]}x{t[1]}' for t in tables)}), {len(images)} pictures "
          f"({', '.join(f'{i[0]}x{i[1]}' for i in images)}), screenshot {WIDTH}x{height} {screenshot}")
    for failure in failures:
        print(f"FAIL {page}: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
