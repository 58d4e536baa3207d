#!/usr/bin/python3
"""Renders the user guide (Markdown) as one HTML page for the installed copy.

    guide-html.py <guide.md> <guide.html> <title>
"""
import sys

import markdown

source, target, title = sys.argv[1:4]
with open(source, encoding="utf-8") as f:
    body = markdown.markdown(f.read(), extensions=["tables", "fenced_code"])
page = f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>{title}</title>
<style>
body {{ font-family: Segoe UI, sans-serif; max-width: 52em; margin: 2em auto; padding: 0 1em;
       line-height: 1.45; }}
table {{ border-collapse: collapse; }}
th, td {{ border: 1px solid #bbb; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }}
code, pre {{ background: #f3f3f3; }}
pre {{ padding: 0.5em; overflow-x: auto; }}
img {{ max-width: 100%; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""
with open(target, "w", encoding="utf-8") as f:
    f.write(page)
