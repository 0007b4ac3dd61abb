#!/usr/bin/env python3
"""The layer table, and the checks that hold the code and the README to it.

check_layers.py SOURCE_DIR            fails (exit 1) when a file includes a header of a folder its own folder
                                      may not use (any include form: "a/b.h", <a/b.h>, "../a/b.h"), when a row
                                      names a folder its folder never includes, or when the README's table
                                      says otherwise; it runs with every build.
check_layers.py SOURCE_DIR --cmake F  writes the table as CMake variables, from which cmake/Layers.cmake
                                      gives each target its include folders and link checks."""

import pathlib
import re
import sys

# folder -> (its build targets, the folders whose headers it may include and whose code it may call)
LAYERS = {
    "package": (("vop_module", "Pkg_Vop31600"), {"screen", "transfer", "mrv"}),
    "screen": (("vop_screen", "vop_listing"),
               {"nfe", "transfer", "mrv", "platform/common", "platform/ftp", "platform/http", "platform/dataset",
                "platform/widgets"}),
    "transfer": (("vop_transfer",), {"platform/common", "platform/ftp", "platform/http"}),
    "nfe": (("vop_nfe",), set()),
    "mrv": (("_mrv",), {"platform/common", "platform/http"}),
    "platform/common": (("vop_platform_common",), set()),
    "platform/ftp": (("vop_platform_ftp",), {"platform/common"}),
    "platform/http": (("vop_platform_http",), {"platform/common"}),
    "platform/dataset": (("vop_platform_dataset",), {"platform/common"}),
    "platform/widgets": (("vop_platform_widgets",), {"platform/common"}),
    "host": (("vop-host", "vop_host_parsers"), {"mrv", "platform/common", "platform/http"}),
    "appserver": (("vop-appserver",), set()),
}
# Folders of the repository that no product folder may include.
OUTSIDE = {"tests", "bench", "scripts", "cmake", "docs", "build"}
SOURCES = (".cpp", ".h")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def folder_of(relative: str) -> str | None:
    """The table's folder that holds a repository path, or the top folder when it is outside the table."""
    parts = relative.split("/")
    for depth in (2, 1):
        if len(parts) > depth and "/".join(parts[:depth]) in LAYERS:
            return "/".join(parts[:depth])
    return parts[0] if len(parts) > 1 and parts[0] in OUTSIDE else None


def included_path(root: pathlib.Path, source: pathlib.Path, form: str, name: str) -> str | None:
    """Where an include lands, relative to the root: a quoted one beside the including file first, as the
    compiler looks; then from the root, as the include folders give it."""
    if form == '"':
        beside = (source.parent / name).resolve()
        if beside.is_file():
            try:
                return beside.relative_to(root).as_posix()
            except ValueError:
                return None
        if name.startswith("."):
            try:
                return (source.parent / name).resolve().relative_to(root).as_posix()
            except ValueError:
                return None
    return name


def include_faults(root: pathlib.Path) -> list[str]:
    faults = []
    used = {folder: set() for folder in LAYERS}
    for path in sorted(p for top in {f.split("/")[0] for f in LAYERS} for p in (root / top).rglob("*")):
        if path.suffix not in SOURCES:
            continue
        relative = path.relative_to(root).as_posix()
        own = folder_of(relative)
        if own not in LAYERS:
            continue
        for form, name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            landed = included_path(root, path, form, name)
            target = folder_of(landed) if landed else None
            if target is None or target == own:
                continue
            written = form + name + (">" if form == "<" else '"')
            if target in LAYERS[own][1]:
                used[own].add(target)
            else:
                faults.append(f"{relative}: includes {written}, but {own}/ may not use {target}/")
    for folder, (_, uses) in LAYERS.items():
        for unused in sorted(uses - used[folder]):
            faults.append(f"the table lets {folder}/ use {unused}/, which nothing in {folder}/ includes: "
                          f"take it out of the row")
    return faults


README_ROW = re.compile(r"^\|\s*`([a-z/]+)/`(.*?)\|.*\|(.*)\|\s*$")


def readme_faults(root: pathlib.Path) -> list[str]:
    """The README's architecture table must name each folder's targets and the folders it may use."""
    text = (root / "README.md").read_text(encoding="utf-8")
    section = text.split("\n## Architecture", 1)[-1].split("\n## ", 1)[0]
    faults, seen = [], set()
    for line in section.splitlines():
        row = README_ROW.match(line)
        if not row or row.group(1) not in LAYERS:
            continue
        folder, names, uses = row.group(1), set(re.findall(r"`([^`]+)`", row.group(2))), row.group(3)
        seen.add(folder)
        targets, may_use = LAYERS[folder]
        if missing := [t for t in targets if t not in names]:
            faults.append(f"README: the row of {folder}/ does not name its target(s) {', '.join(missing)}")
        shown = {name.rstrip("/") for name in re.findall(r"`([a-z/]+/)`", uses)}
        if shown != may_use:
            want = ", ".join(f"`{u}/`" for u in sorted(may_use)) or "none of ours"
            faults.append(f"README: the row of {folder}/ says it may use {sorted(shown)}; the table says {want}")
    for folder in sorted(set(LAYERS) - seen):
        faults.append(f"README: the architecture table has no row for {folder}/")
    return faults


def write_cmake(path: pathlib.Path) -> None:
    lines = ["# Written by cmake/check_layers.py from its table; do not edit.",
             f"set(VOP_LAYER_FOLDERS \"{';'.join(LAYERS)}\")"]
    for folder, (targets, uses) in LAYERS.items():
        lines.append(f"set(VOP_LAYER_TARGETS_{folder} \"{';'.join(targets)}\")")
        lines.append(f"set(VOP_LAYER_USES_{folder} \"{';'.join(sorted(uses))}\")")
    text = "\n".join(lines) + "\n"
    path.parent.mkdir(parents=True, exist_ok=True)
    if not path.exists() or path.read_text() != text:
        path.write_text(text)


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    if len(sys.argv) == 4 and sys.argv[2] == "--cmake":
        write_cmake(pathlib.Path(sys.argv[3]))
        return 0
    faults = include_faults(root) + readme_faults(root)
    for fault in faults:
        print(f"layer check: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
