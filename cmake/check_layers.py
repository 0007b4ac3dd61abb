#!/usr/bin/env python3
"""check_layers.py SOURCE_DIR: fails (exit 1) when a file includes a header of a folder its own folder
may not use, so that a wrong include breaks the build. The table below is the README's layer table."""

import pathlib
import re
import sys

# folder -> the folders whose headers it may include (besides its own)
MAY_USE = {
    "package": {"screen", "transfer", "mrv", "platform/common"},
    "screen": {"nfe", "transfer", "mrv", "platform/common", "platform/ftp", "platform/http", "platform/dataset",
               "platform/widgets"},
    "transfer": {"mrv", "platform/common", "platform/ftp", "platform/http"},
    "nfe": set(),
    "mrv": {"platform/common", "platform/http", "platform/dataset"},
    "platform/common": set(),
    "platform/ftp": {"platform/common"},
    "platform/http": {"platform/common"},
    "platform/dataset": {"platform/common"},
    "platform/widgets": {"platform/common"},
    "host": {"mrv", "platform/common", "platform/http"},
    "appserver": set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(relative: str) -> str | None:
    parts = relative.split("/")
    if len(parts) < 2:
        return None
    if parts[0] == "platform":
        return "/".join(parts[:2]) if len(parts) > 2 else "platform/common"
    return parts[0]


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    faults = []
    for folder in {name.split("/")[0] for name in MAY_USE}:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            own = layer_of(path.relative_to(root).as_posix())
            for included in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                target = layer_of(included)
                if target is None or target == own or target not in MAY_USE:
                    continue
                if target not in MAY_USE[own]:
                    faults.append(f"{path.relative_to(root)}: includes {included}, but {own}/ may not use {target}/")
    for fault in faults:
        print(f"layer check: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
