#!/usr/bin/python3
"""Every given Windows binary carries the one version in its VERSIONINFO:
the fixed file and product version, and the texts a user sees in its
properties (file and product version, company, product, description,
copyright). Prints one line per file; exits 1 on any mismatch.

    check_versions.py <version x.y.z> <file.exe|file.dll>...
"""
import sys

import pefile

want = sys.argv[1]
numbers = [int(n) for n in want.split(".")] + [0]
failed = 0
for path in sys.argv[2:]:
    problems = []
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
        texts = {}
        for info in getattr(pe, "FileInfo", [[]])[0]:
            for table in getattr(info, "StringTable", []):
                texts.update({k.decode(): v.decode() for k, v in table.entries.items()})
    except (pefile.PEFormatError, OSError) as e:
        fixed, texts, problems = None, {}, [str(e)]
    if fixed is None:
        problems.append("no version resource")
    else:
        for name in ("FileVersion", "ProductVersion"):
            ms, ls = getattr(fixed, name + "MS"), getattr(fixed, name + "LS")
            got = [ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF]
            if got != numbers:
                problems.append(f"fixed {name} {'.'.join(map(str, got))}")
    for name in ("FileVersion", "ProductVersion"):
        if texts.get(name) != want:
            problems.append(f"{name} text {texts.get(name)!r}")
    for name in ("CompanyName", "ProductName", "FileDescription", "LegalCopyright"):
        if not texts.get(name, "").strip():
            problems.append(f"no {name}")
    print(f"{path}: {'; '.join(problems) if problems else 'version ' + want}")
    failed += bool(problems)
sys.exit(1 if failed else 0)
